# Board simulator tests
rconf_test(test_sim_board test_sim_board.cpp)
target_link_libraries(test_sim_board PRIVATE vboard_lib)
rconf_test(test_sim_server test_sim_server.cpp)
target_link_libraries(test_sim_server PRIVATE vboard_lib)
target_compile_definitions(test_sim_server PRIVATE VBOARD_PATH="$<TARGET_FILE:vboard>")
add_dependencies(test_sim_server vboard)
