#pragma once

#include <QString>

// What stands under a name a program is about to write a PDF document to, so
// that a file of another kind is never replaced without a word: the window's
// "PDFに書き出す…" asks again, `trv5kb pdf` refuses it unless told --force.
enum class FileKind {
    Missing,     // nothing yet, or an empty file: nothing is lost
    Pdf,         // begins with "%PDF-"
    PatternFile, // reads as a pattern file
    OtherFile,   // any other regular file
    NotAFile,    // a folder, a pipe, a device: replaceFile refuses it anyway
};

// What `name` (links followed; see files/FileName.h for names in bytes) holds.
// A file that cannot be read counts as OtherFile.
FileKind fileKindOf(const QString& name);

// What the user is told such a file is: "パターンファイル", "PDF ではないファイル".
QString fileKindText(FileKind kind);
