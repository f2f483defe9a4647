# The data tabs (live data, photocolorimeter debug, hardware configuration, user calibrations, archive,
# statistics, AT console), against the board simulator; backups before writes, save and load, archive CSV
# and the charts.
if(TARGET vboard_lib)
  rconf_test(test_data_tabs test_data_tabs.cpp BoardBench.h)
  target_link_libraries(test_data_tabs PRIVATE vboard_lib)
  rconf_test(test_backup test_backup.cpp)
  target_link_libraries(test_backup PRIVATE vboard_lib)
endif()
