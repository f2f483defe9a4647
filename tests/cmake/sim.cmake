# Board simulator tests
rconf_test(test_sim_board test_sim_board.cpp)
target_link_libraries(test_sim_board PRIVATE vboard_lib)
