# The window's slot order.
rconf_test(test_slot_order test_slot_order.cpp)
