# Robustness: the fault matrix over a bad line, a board that vanishes, the
# panes under a burst of lines, and the fuzzers' findings kept as tests.
if(TARGET vboard_lib)
  # One program, one CTest entry per matrix so each stays well under a minute;
  # scripts/faultmatrix.sh runs it with many more seeded runs.
  add_executable(test_fault_matrix test_fault_matrix.cpp)
  target_link_libraries(test_fault_matrix PRIVATE rconf_testsupport vboard_lib)
  foreach(matrix firmwareMatrix hwConfigMatrix userCalibrationMatrix)
    add_test(NAME test_fault_matrix_${matrix} COMMAND test_fault_matrix ${matrix})
    set_tests_properties(test_fault_matrix_${matrix} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  endforeach()

  rconf_test(test_vanishing_board test_vanishing_board.cpp)
  target_link_libraries(test_vanishing_board PRIVATE vboard_lib)
endif()
rconf_test(test_panes_at_speed test_panes_at_speed.cpp)
