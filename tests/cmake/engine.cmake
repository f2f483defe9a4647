# Protocol engine: requests, transactions, gate, decoding, split replies
rconf_test(test_engine_transactions test_engine_transactions.cpp test_engine_harness.h)
rconf_test(test_engine_decoding test_engine_decoding.cpp test_engine_harness.h)
rconf_test(test_engine_split test_engine_split.cpp test_engine_harness.h)
rconf_test(test_engine_board test_engine_board.cpp test_engine_harness.h)
target_link_libraries(test_engine_board PRIVATE vboard_lib)
