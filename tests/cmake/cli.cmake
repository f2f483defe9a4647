# rconf-cli and the link health figures, against simulated boards.
rconf_test(test_cli test_cli.cpp)
target_link_libraries(test_cli PRIVATE rconf_cli_lib vboard_lib)
