#pragma once
#include <QString>
#include <QWidget>

#include <cstdint>

// Process figures and small helpers shared by the benchmark programs.
namespace BenchUtil {

double cpuSeconds();        // user + system time of this process
double residentMb();        // VmRSS
double peakResidentMb();    // VmHWM
// Makes every tab on the way to the widget the current one, as a user would.
void showTabsOf(QWidget* widget);
QString machine();          // "<nproc> × <CPU model>"

} // namespace BenchUtil
