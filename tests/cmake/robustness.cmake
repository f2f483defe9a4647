# Robustness: the fault matrix over a bad line and the fuzzers' findings kept
# as tests (a vanishing board is the port panel's, a burst of lines the window shell's).
if(TARGET vboard_lib)
  # One program, one CTest entry per matrix so each stays well under a minute;
  # scripts/faultmatrix.sh runs it with many more seeded runs.
  add_executable(test_fault_matrix test_fault_matrix.cpp)
  target_link_libraries(test_fault_matrix PRIVATE rconf_testsupport vboard_lib)
  foreach(matrix firmwareMatrix hwConfigMatrix userCalibrationMatrix)
    add_test(NAME test_fault_matrix_${matrix} COMMAND test_fault_matrix ${matrix})
    set_tests_properties(test_fault_matrix_${matrix} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  endforeach()
endif()
rconf_test(test_fuzz_regressions test_fuzz_regressions.cpp)
