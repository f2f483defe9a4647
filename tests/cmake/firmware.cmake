# Firmware update: update files, the programming view and the sequencer.
rconf_test(test_update_sheet test_update_sheet.cpp firmware_test_support.h)
target_compile_definitions(test_update_sheet PRIVATE MKRBIN_PATH="$<TARGET_FILE:mkrbin>")
add_dependencies(test_update_sheet mkrbin)

rconf_test(test_programming test_programming.cpp)
target_link_libraries(test_programming PRIVATE vboard_lib)
