# Polling, log and start-up benchmarks (scripts/bench.sh runs them).
add_library(bench_util STATIC BenchUtil.cpp)
target_link_libraries(bench_util PUBLIC Qt::Widgets)

if(TARGET vboard)
  add_executable(bench_polling bench_polling.cpp)
  target_link_libraries(bench_polling PRIVATE rconf_gui bench_util)
  target_compile_definitions(bench_polling PRIVATE VBOARD_PATH="$<TARGET_FILE:vboard>")
  add_dependencies(bench_polling vboard)
endif()

add_executable(bench_log bench_log.cpp)
target_link_libraries(bench_log PRIVATE rconf_gui bench_util)

add_executable(bench_startup bench_startup.cpp)
target_link_libraries(bench_startup PRIVATE rconf_gui bench_util)
