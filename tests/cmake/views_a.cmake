# Port panel and device status: end to end against the simulated board.
foreach(t test_port_panel test_device_status)
  rconf_test(${t} ${t}.cpp BoardBench.h)
  target_link_libraries(${t} PRIVATE vboard_lib)
endforeach()
