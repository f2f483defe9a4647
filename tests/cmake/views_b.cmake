# Hardware configuration, user calibrations, archive, statistics and AT console, against the board simulator.
if(TARGET vboard_lib)
  rconf_test(test_board_records test_board_records.cpp BoardBench.h)
  target_link_libraries(test_board_records PRIVATE vboard_lib)
endif()
