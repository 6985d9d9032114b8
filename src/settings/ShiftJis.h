#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

// Code page 932, the Shift-JIS of Windows, which the settings file is kept
// in whatever the system's own code page is. Windows converts it itself (a Qt
// for Windows has no converter of that name); elsewhere Qt's "Shift_JIS"
// (ICU) does. A Qt built without ICU has neither: there shiftJisAvailable()
// is false and the conversions answer nothing.

bool shiftJisAvailable();

// The text of `bytes`; nothing when a byte is no part of a character of the code page.
std::optional<QString> decodeShiftJis(QByteArrayView bytes);

// The bytes of `text`; nothing when a character has none.
std::optional<QByteArray> encodeShiftJis(QStringView text);
