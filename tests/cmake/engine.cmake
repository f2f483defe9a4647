# Protocol engine: requests, replies, transactions, the gate and the real waits
rconf_test(test_engine test_engine.cpp)
target_link_libraries(test_engine PRIVATE vboard_lib)
