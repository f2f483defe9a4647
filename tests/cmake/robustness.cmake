# Robustness: writes over a faulty line (a test function of test_programming,
# firmware.cmake), a board that vanishes, the panes under a burst of lines,
# and the fuzzers' findings kept as tests.
add_test(NAME test_fault_matrix COMMAND test_programming badLine)
set_tests_properties(test_fault_matrix PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
if(TARGET vboard_lib)
  rconf_test(test_vanishing_board test_vanishing_board.cpp)
  target_link_libraries(test_vanishing_board PRIVATE vboard_lib)
endif()
rconf_test(test_panes_at_speed test_panes_at_speed.cpp)
