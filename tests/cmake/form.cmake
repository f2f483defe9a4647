# Main window form: widget table, connections and fixed layout.
rconf_test(test_form test_form.cpp)
# The form header comes from rconf_gui; this target must not generate its own.
set_target_properties(test_form PROPERTIES AUTOUIC OFF)

# Offscreen pictures of every tab page (a tool, not a test).
add_executable(render_form ${CMAKE_SOURCE_DIR}/tools/render_form.cpp)
target_link_libraries(render_form PRIVATE rconf_gui)
