#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class SettingsLocation;
class SettingsSnapshot;

// `trv5kb write`: the window's transfer of the chart in `file` into the
// controller on each of `portNames` (COMn mapped by `settings`, a device
// path or a network port), with the window's port configuration and protocol; the time-out of
// each is `timeoutMs`. All controllers are written at once, each over its own
// line with a transfer of its own, so one that does not answer holds up
// nobody but itself.
//
// With one port: a progress bar on standard error when that is a terminal,
// and at the end "成功" on standard output, or "失敗：" and the reason on
// standard error. With more: on a terminal one progress line per port, drawn
// over itself, elsewhere one line per port when it ends, both on standard
// error; then a summary on standard output, one line per port with its
// result, its time and the reason for a failure. `json` puts one JSON
// document in place of what goes to standard output: the file, its step
// count and each port's result with its cause, reason, records and time.
// Gives the exit status: 0 when every port succeeded, else 1.
int writeToControllers(const QString& file, const QStringList& portNames, const SettingsLocation& settings,
                       int timeoutMs, bool json);

// Why the ports of one write cannot be written together: a name given twice,
// or two names that stand for the same device (COM3 and the device
// [Ports] maps it to, a link and the device it leads to, one server port by
// both protocols). Nothing when each names a device of its own.
std::optional<QString> portNamedTwice(const QStringList& portNames, const SettingsSnapshot& settings);
