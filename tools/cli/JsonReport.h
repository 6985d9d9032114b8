#pragma once

#include "edit/ChartChange.h"
#include "files/PatternFile.h"
#include "serial/SerialDevices.h"
#include "transfer/SendRule.h"

#include <QJsonObject>
#include <QString>

class SettingsLocation;

// The documents of `--json`: the same facts as the text of each sub-command,
// for scripts. Keys are English and stable; texts meant for people (reasons,
// descriptions) stay in the user's words. The README shows one of each.

// `ports`: the serial devices present with what the system says of them and
// why the user may not open one; the settings files read; what each of
// COM1 to COM20 stands for; the port the window has chosen.
QJsonObject portsDocument(const QList<SerialDevice>& present, const SettingsLocation& location);

// The first value the controller cannot be sent, as `check` and `write` give it: its kind,
// where it is, the value and the sentence for people; null when there is none.
QJsonValue sendFaultJson(const std::optional<SendFault>& fault);

// `check`: the step count, the steps in use, each group's cells per element
// and per value that is no element, and the first value the controller
// cannot be sent (null when there is none).
QJsonObject checkDocument(const QString& file, const PatternFileContent& content);

// `diff`: both files with their step counts, whether they are the same, and
// the cells that differ with their values before and after, as `show`
// writes them.
QJsonObject diffDocument(const QString& file, const PatternFileContent& before, const QString& otherFile,
                         const PatternFileContent& after, const ChartChange& change);
