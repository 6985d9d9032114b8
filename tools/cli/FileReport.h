#pragma once

#include "files/PatternFile.h"
#include "result/Result.h"

#include <QString>

// How every sub-command says why a file failed: "「FILE」：reason" on standard
// error, after `lead` where one is given ("失敗：" for write).
void reportFileFailure(const QString& file, const QString& reason, const QString& lead = {});

// The chart in `file`, read as the window reads it. Where it cannot be read,
// the reason is on standard error already (reportFileFailure), and the
// sub-command ends with its own exit status.
Result<PatternFileContent> loadOrReport(const QString& file, const QString& lead = {});
