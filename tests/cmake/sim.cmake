# Board simulator: the board model, the server and its faults, the engine over the port, the vboard program
rconf_test(test_sim test_sim.cpp)
target_link_libraries(test_sim PRIVATE vboard_lib)
target_compile_definitions(test_sim PRIVATE VBOARD_PATH="$<TARGET_FILE:vboard>")
add_dependencies(test_sim vboard)
