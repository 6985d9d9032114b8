#pragma once

#include <QString>

// The system's reason for a failed file operation in the user's words. Qt's
// file classes give the C library's English ("File name too long"), which
// no message of the programs shows as it is. Used by the files layer for
// every reason it gives, and by the command-line writer for its own output.

// The reason for the system's error number `error`.
QString systemReasonText(int error);

// `reason`, one of Qt's errorString() texts, in the user's words where it is
// the system's text for an error this knows; otherwise as it is (Qt's own
// texts come translated already).
QString inUserWords(const QString& reason);
