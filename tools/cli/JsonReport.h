#pragma once

#include "edit/ChartChange.h"
#include "files/PatternFile.h"
#include "transfer/SendRule.h"

#include <QJsonObject>
#include <QString>

// The documents of `--json` of the sub-commands on pattern files: the same
// facts as their text, for scripts. Keys are English and stable; texts meant
// for people (reasons, descriptions) stay in the user's words. The README
// shows one of each; `ports` has its own (PortsCommand).

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
