# Robustness: writes over a faulty line (a test function of test_programming,
# firmware.cmake); a vanishing board is the port panel's, a burst of lines the
# window shell's, the fuzzers' findings the engine test's.
add_test(NAME test_fault_matrix COMMAND test_programming badLine)
set_tests_properties(test_fault_matrix PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
