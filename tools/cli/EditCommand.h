#pragma once

#include "edit/StepOperations.h"
#include "result/Result.h"

#include <QString>
#include <QStringList>

// `trv5kb edit FILE OPERATION`: one operation of the window's chart menu on a
// pattern file, on whole steps (all 40 channels) or whole groups, with steps
// counted from 1 and groups named A to H as the window shows them.
struct EditRequest
{
    enum class Kind { Insert, Delete, Duplicate, Move, CopyGroup, SwapGroups, ClearGroup };

    Kind kind = Kind::Insert;
    QString word;  // the operation as the command line names it: "insert", "copy-group"
    int step = 0;  // from 0
    int steps = 1; // insert, delete, duplicate: how many, from `step` on
    Side side = Side::Left;
    int group = 0; // 0 to 7
    int otherGroup = 0;
};

// The words after FILE: the operation and its arguments, or a failure that
// says why they are wrong (a bad command line).
Result<EditRequest> parseEditOperation(const QStringList& words);

// Carries out `request` on the chart of `file` as the window would, and
// writes the result to `output` (which may be `file`) through the checked
// replacement. Refused, with the reason on standard error and exit status 1:
// a file that cannot be read, an operation the window refuses (a move at the
// edge, a duplicate with no room), cells not OFF pushed past step 80 unless
// `force`, an `output` that holds something other than a pattern file unless
// `force`, and a file that cannot be written (the old one stays). Gives the
// exit status.
int editPatternFile(const QString& file, const QString& output, const EditRequest& request, bool force,
                    bool json);
