# The data tabs (live data, photocolorimeter debug, hardware configuration, user calibrations, archive,
# statistics, AT console), against the board simulator.
if(TARGET vboard_lib)
  rconf_test(test_data_tabs test_data_tabs.cpp BoardBench.h)
  target_link_libraries(test_data_tabs PRIVATE vboard_lib)
endif()
