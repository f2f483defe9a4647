# Port panel: end to end against the simulated board.
foreach(t test_port_panel)
  rconf_test(${t} ${t}.cpp BoardBench.h)
  target_link_libraries(${t} PRIVATE vboard_lib)
endforeach()
