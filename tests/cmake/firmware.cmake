# Firmware update: update files, the programming view and the sequencer.
rconf_test(test_update_sheet test_update_sheet.cpp)
target_link_libraries(test_update_sheet PRIVATE vboard_lib)
target_compile_definitions(test_update_sheet PRIVATE MKRBIN_PATH="$<TARGET_FILE:mkrbin>")
add_dependencies(test_update_sheet mkrbin)

# Programming, writes over a faulty line (robustness.cmake) and rconf-cli
# (cli.cmake) share one program; each area is its own CTest entry, naming
# its test functions.
add_executable(test_programming test_programming.cpp)
target_link_libraries(test_programming PRIVATE rconf_testsupport vboard_lib rconf_cli_lib)
add_test(NAME test_programming COMMAND test_programming runs fedReplies window recordOfTheBoardItRunsOn)
set_tests_properties(test_programming PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
target_compile_definitions(test_programming PRIVATE RCONF_CLI_PATH="$<TARGET_FILE:rconf-cli>")
add_dependencies(test_programming rconf-cli)
