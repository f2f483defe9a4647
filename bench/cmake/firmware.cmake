# Firmware programming: the whole window against the engine alone, and the
# run against the wire time at 115200 baud.
add_executable(bench_firmware bench_firmware.cpp)
target_link_libraries(bench_firmware PRIVATE rconf_gui bench_util vboard_lib)
