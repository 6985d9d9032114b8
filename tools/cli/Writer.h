#pragma once

#include <QString>

class SettingsLocation;

// `trv5kb write`: the window's transfer of the chart in `file` into the
// controller on `portName` (COMn mapped by `settings`, or a device path),
// with the window's port configuration and protocol; the time-out is
// `timeoutMs`. Draws a progress bar on standard error when that is a
// terminal and ends with "成功" on standard output, or "失敗：" and the
// reason on standard error. Gives the exit status: 0 on success, else 1.
int writeToController(const QString& file, const QString& portName, const SettingsLocation& settings,
                      int timeoutMs);
