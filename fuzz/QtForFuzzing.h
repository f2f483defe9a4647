#pragma once

// The engine's timers need an application object; one is made once per
// fuzzer process. Debug output is dropped so that the fuzzer's own report
// stays readable; warnings and fatal messages still go through.
namespace QtForFuzzing {

void startCore();
void startWidgets();

} // namespace QtForFuzzing
