# rconf-cli: eight simulated boards programmed at once against one alone.
if(TARGET vboard AND TARGET rconf-cli)
  add_executable(bench_cli_parallel bench_cli_parallel.cpp)
  target_link_libraries(bench_cli_parallel PRIVATE rconf_core bench_util)
  target_compile_definitions(bench_cli_parallel PRIVATE VBOARD_PATH="$<TARGET_FILE:vboard>"
                                                        RCONF_CLI_PATH="$<TARGET_FILE:rconf-cli>")
  add_dependencies(bench_cli_parallel vboard rconf-cli)
endif()
