# Archive, hardware configuration and user calibration views, against the board simulator.
if(TARGET vboard_lib)
  rconf_test(test_archive test_archive.cpp)
  target_link_libraries(test_archive PRIVATE vboard_lib)
  rconf_test(test_hw_config test_hw_config.cpp)
  target_link_libraries(test_hw_config PRIVATE vboard_lib)
  rconf_test(test_user_calibration test_user_calibration.cpp)
  target_link_libraries(test_user_calibration PRIVATE vboard_lib)
endif()
# Backups before writes, save and load, archive CSV and the charts.
if(TARGET vboard_lib)
  rconf_test(test_backup test_backup.cpp)
  target_link_libraries(test_backup PRIVATE vboard_lib)
endif()
