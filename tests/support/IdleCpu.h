#pragma once
// CPU time (user + system, seconds) the process uses while its event loop
// idles for one second: a spinning port or timer shows up here.
double idleCpuOverOneSecond();
