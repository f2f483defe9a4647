# Offscreen pictures of every tab page (a tool, not a test).
add_executable(render_form ${CMAKE_SOURCE_DIR}/tools/render_form.cpp)
target_link_libraries(render_form PRIVATE rconf_gui)
