# AT console, statistics and the photocolorimeter debug page.

if(TARGET vboard_lib)
  rconf_test(test_at_console test_at_console.cpp views_d_fixture.h)
  target_link_libraries(test_at_console PRIVATE vboard_lib)
  rconf_test(test_statistics test_statistics.cpp views_d_fixture.h)
  target_link_libraries(test_statistics PRIVATE vboard_lib)
  rconf_test(test_pc_debug test_pc_debug.cpp views_d_fixture.h)
  target_link_libraries(test_pc_debug PRIVATE vboard_lib)
endif()
