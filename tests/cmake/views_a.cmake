# Port panel and live data: end to end against the simulated board.
foreach(t test_port_panel test_live_data)
  rconf_test(${t} ${t}.cpp BoardBench.h)
  target_link_libraries(${t} PRIVATE vboard_lib)
endforeach()
