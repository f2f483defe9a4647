# rconf-cli against simulated boards: test functions of test_programming (firmware.cmake).
add_test(NAME test_cli COMMAND test_programming cliUsageErrors cliFlashesSeveralBoards cliBackupThenRestore)
set_tests_properties(test_cli PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
