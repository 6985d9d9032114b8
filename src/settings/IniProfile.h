#pragma once

#include "result/Result.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The settings file operations of the main window: one value of an INI file,
// looked up by section and key. The file is Shift-JIS text with CR LF line
// ends, as the program has always stored it, so the same file can be used
// from either platform.
//
// Reading answers "ERROR" when the file, the section or the key is missing.
// Section and key names match without regard to ASCII case, the first
// matching section and its first matching key win, blanks around a value and
// then one pair of double or single quotes around it are dropped, and a value
// longer than 254 bytes is cut to 254 bytes (253 when the 254th byte would
// split a double-byte character). Bytes that are no Shift-JIS character read
// as U+FFFD. A file in UTF-16 with a byte-order mark is read too. Only the
// first megabyte of a file is looked at.
QString GetINIValue(const QString& KEY, const QString& Section, const QString& ININame);

// What GetINIValue answers for a missing file, section or key.
inline constexpr QStringView MissingINIValue = u"ERROR";

// GetINIValue, with nothing for a missing file, section or key, so that a
// value "ERROR" written into the file is told apart from none.
std::optional<QString> findINIValue(const QString& KEY, const QString& Section, const QString& ININame);

// Whether the file is in UTF-16 with a byte-order mark: read, but never written.
bool isUtf16INIFile(const QString& ININame);

// A settings file read once: every look-up answers from what was read, as
// findINIValue would have answered then, so that many look-ups (a port and
// the devices of twenty COM names) cost one reading of the file.
class IniFileText
{
public:
    // A file that is missing or cannot be read holds no value.
    static IniFileText read(const QString& ININame);

    std::optional<QString> find(const QString& KEY, const QString& Section) const;

private:
    // The file's text as Shift-JIS, cut to whole lines within the size limit;
    // none when there was no file to read.
    std::optional<QByteArray> m_text;
};

// Stores one value, creating the file, the section or the key as needed.
// Everything after the key's "=" is replaced; every other byte of the file
// stays as it was, and a value that already reads as `Value` keeps its bytes.
// New lines end with CR LF. The file is replaced whole once the new content
// is complete and on disk, keeping its permissions, so a failed write leaves
// the old file (or none) behind; only where the folder refuses a new file
// beside it is the file rewritten in place, and its old bytes are put back
// if that fails. Returns false when nothing was written: the file cannot be
// read or written, it is larger than a settings file can be or in UTF-16,
// or a name or the value cannot be stored as a line of Shift-JIS text (line
// breaks, "=" in a key, "]" in a section, characters without a Shift-JIS
// form).
bool SetINIValue(const QString& Value, const QString& KEY, const QString& Section, const QString& ININame);

// SetINIValue, failing with the reason, worded for the user, when nothing was written.
Result<> storeINIValue(const QString& Value, const QString& KEY, const QString& Section,
                       const QString& ININame);
