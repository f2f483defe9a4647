# Robustness: the fault matrix over a bad line, a board that vanishes, the
# panes under a burst of lines, and the fuzzers' findings kept as tests.
if(TARGET vboard_lib)
  rconf_test(test_fault_matrix test_fault_matrix.cpp)
  target_link_libraries(test_fault_matrix PRIVATE vboard_lib)

  rconf_test(test_vanishing_board test_vanishing_board.cpp)
  target_link_libraries(test_vanishing_board PRIVATE vboard_lib)
endif()
rconf_test(test_panes_at_speed test_panes_at_speed.cpp)
rconf_test(test_fuzz_regressions test_fuzz_regressions.cpp)
