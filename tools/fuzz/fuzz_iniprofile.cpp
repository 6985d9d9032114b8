#include "FuzzCheck.h"
#include "settings/IniProfile.h"
#include "settings/ShiftJis.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <cstdint>
#include <optional>

// Drives the settings-file operations on a real file. The input is
//   section LF key LF value LF file bytes
// with the three texts in Shift-JIS; without the third LF there is no file at
// all. Every read is checked, then the value is written and the file on disk
// is compared with the one before.
//
// The promises: a value read holds no CR, LF or NUL and at most 254 bytes; a
// failed write leaves the file (or its absence) byte for byte and nothing
// beside it; a write changes no other line, keeps the key and its "=" and
// every other key reads as before; a plain value reads back as written; a
// value with a line break or NUL is never written; writing the same value
// again leaves the bytes as they are.

namespace {

struct Case
{
    QString section;
    QString key;
    QString value;
    QByteArray file; // null for no file
};

// Input bytes that are no Shift-JIS give the replacement character, as a converter does.
QString fromShiftJis(QByteArrayView bytes)
{
    require(shiftJisAvailable(), "this system has a Shift-JIS converter");
    if (std::optional<QString> text = decodeShiftJis(bytes))
        return *text;
    QString text;
    for (const char byte : bytes)
        text += decodeShiftJis(QByteArrayView(&byte, 1)).value_or(QString(QChar::ReplacementCharacter));
    return text;
}

// The length of the Shift-JIS form, or nothing for text without one.
std::optional<qsizetype> shiftJisSize(const QString& text)
{
    const std::optional<QByteArray> bytes = encodeShiftJis(text);
    if (!bytes)
        return std::nullopt;
    return bytes->size();
}

Case parseCase(QByteArrayView input)
{
    Case parsed;
    QString* texts[] = {&parsed.section, &parsed.key, &parsed.value};
    qsizetype pos = 0;
    for (QString* text : texts) {
        const qsizetype end = input.indexOf('\n', pos);
        *text = fromShiftJis(input.sliced(pos, (end < 0 ? input.size() : end) - pos));
        if (end < 0)
            return parsed;
        pos = end + 1;
    }
    parsed.file = input.sliced(pos).toByteArray();
    if (parsed.file.isNull())
        parsed.file = QByteArray("", 0);
    return parsed;
}

struct Line
{
    QByteArrayView content;
    QByteArrayView end; // CR LF, LF, CR or nothing (the last line)
    bool operator==(const Line& other) const { return content == other.content && end == other.end; }
};

QList<Line> splitLines(QByteArrayView text)
{
    QList<Line> lines;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < text.size() && text[next] == '\r')
            ++next;
        if (next < text.size() && text[next] == '\n')
            ++next;
        lines.append({text.sliced(pos, end - pos), text.sliced(end, next - end)});
        pos = next;
    }
    return lines;
}

// Whether `after` is `before` with one value changed on its line, or with
// whole lines added (the last line of `before` may have gained a line end).
bool changesOneLineOnly(QByteArrayView before, QByteArrayView after)
{
    const QList<Line> a = splitLines(before);
    const QList<Line> b = splitLines(after);
    qsizetype prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < qMin(a.size(), b.size()) - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;
    const QList<Line> removed = a.mid(prefix, a.size() - prefix - suffix);
    const QList<Line> added = b.mid(prefix, b.size() - prefix - suffix);

    auto newLinesEndInCrLf = [](const QList<Line>& lines) {
        for (const Line& line : lines)
            if (line.end != "\r\n")
                return false;
        return true;
    };
    if (removed.isEmpty())
        return newLinesEndInCrLf(added);
    if (removed.size() != 1 || added.isEmpty())
        return false;
    const Line& old = removed.front();
    if (old.end.isEmpty() && added.front().content == old.content && !added.front().end.isEmpty())
        return newLinesEndInCrLf(added.mid(1));
    if (added.size() != 1 || added.front().end != old.end)
        return false;
    // The value changed: the key and its "=" stay as they were.
    const qsizetype equals = old.content.indexOf('=');
    return equals >= 0 && added.front().content.startsWith(old.content.first(equals + 1));
}

// The section and key names the file seems to hold, as a reader would ask
// for them; a handful is enough.
QList<std::pair<QString, QString>> namesInFile(QByteArrayView file)
{
    QList<std::pair<QString, QString>> names;
    QByteArrayView section;
    bool inSection = false;
    for (const Line& line : splitLines(file)) {
        if (names.size() >= 16)
            break;
        const QByteArrayView text = line.content.trimmed();
        const qsizetype close = text.indexOf(']');
        if (text.startsWith('[') && close > 0) {
            section = text.sliced(1, close - 1);
            inSection = true;
        } else if (const qsizetype equals = text.indexOf('='); inSection && equals > 0) {
            names.append({fromShiftJis(section), fromShiftJis(text.first(equals))});
        }
    }
    return names;
}

bool sameName(const QString& a, const QString& b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

void requireSaneRead(const QString& value)
{
    require(!value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('\n')) &&
                !value.contains(QChar(0)),
            "a value read holds no CR, LF or NUL");
    require(value.size() <= 254, "a value read is at most 254 bytes");
    if (const std::optional<qsizetype> bytes = shiftJisSize(value))
        require(*bytes <= 254, "a value read is at most 254 bytes");
}

// A value that reading gives back unchanged: no blanks around it, no quote
// (double or single) at its ends, a Shift-JIS form that fits.
bool readsBackAsWritten(const QString& value)
{
    auto edge = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('"') ||
               c == QLatin1Char('\'');
    };
    if (!value.isEmpty() && (edge(value.front()) || edge(value.back())))
        return false;
    const std::optional<qsizetype> bytes = shiftJisSize(value);
    return bytes && *bytes <= 254;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    return bytes.isNull() ? QByteArray("", 0) : bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir folder;
    require(folder.isValid(), "a temporary folder can be made");
    const QString path = folder.filePath(QStringLiteral("Setting.ini"));
    QFile::remove(path);

    const Case c = parseCase(QByteArrayView(data, qsizetype(size)));
    if (!c.file.isNull()) {
        QFile file(path);
        require(file.open(QIODevice::WriteOnly) && file.write(c.file) == c.file.size(),
                "the input file can be put in place");
    }
    auto onlyTheFile = [&] {
        const QStringList expected =
            QFile::exists(path) ? QStringList{QStringLiteral("Setting.ini")} : QStringList{};
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden) ==
               expected;
    };

    const QString before = GetINIValue(c.key, c.section, path);
    requireSaneRead(before);
    const QList<std::pair<QString, QString>> others = namesInFile(c.file);
    QStringList otherValues;
    for (const auto& [section, key] : others) {
        otherValues.append(GetINIValue(key, section, path));
        requireSaneRead(otherValues.back());
    }

    const bool written = SetINIValue(c.value, c.key, c.section, path);
    const QByteArray after = fileBytes(path);
    require(onlyTheFile(), "nothing but the settings file is left in its folder");
    if (c.value.contains(QLatin1Char('\r')) || c.value.contains(QLatin1Char('\n')) ||
        c.value.contains(QChar(0)))
        require(!written, "a value with a line break or NUL is never written");
    if (!written) {
        require(after == c.file && after.isNull() == c.file.isNull(),
                "a failed write leaves the file as it was");
        return 0;
    }

    require(!after.isNull(), "a successful write leaves a file");
    require(changesOneLineOnly(c.file, after), "a write changes no other line");
    const QString readBack = GetINIValue(c.key, c.section, path);
    requireSaneRead(readBack);
    if (readsBackAsWritten(c.value))
        require(readBack == c.value, "the value written reads back");
    for (qsizetype i = 0; i < others.size(); ++i) {
        const auto& [section, key] = others[i];
        if (!(sameName(section, c.section) && sameName(key, c.key)))
            require(GetINIValue(key, section, path) == otherValues[i], "every other key reads as before");
    }

    require(SetINIValue(c.value, c.key, c.section, path), "the same value can be written again");
    require(fileBytes(path) == after, "writing the same value again changes no byte");
    require(onlyTheFile(), "nothing but the settings file is left in its folder");
    return 0;
}
