#include "settings/IniProfile.h"

#include "files/FileReplace.h"
#include "settings/ShiftJis.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <optional>

namespace {

// A settings file holds a few lines. Nothing past this is looked at, so a
// wrong or hostile file costs bounded time and memory.
constexpr qsizetype MaxFileBytes = 1024 * 1024;

// The value buffer of the original profile call held 255 bytes with the
// closing NUL; callers may rely on values never being longer.
constexpr qsizetype MaxValueBytes = 254;

// The first byte of a double-byte Shift-JIS character. Its second byte may be
// any of "@" to "~" (letters, "[", "\", "]" among them), so no scan for a
// structural character may look at it.
bool isLeadByte(char c)
{
    const auto b = static_cast<uchar>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

QByteArrayView trimmedBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// Position of the first single-byte `wanted` at or after `from`, or -1.
qsizetype findSingleByte(QByteArrayView text, char wanted, qsizetype from = 0)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (isLeadByte(text[i]))
            ++i;
        else if (text[i] == wanted)
            return i;
    }
    return -1;
}

// Names compare without regard to ASCII case, as the Windows profile calls
// do. Second bytes of double-byte characters keep their case.
QByteArray foldedName(QByteArrayView name)
{
    QByteArray folded;
    folded.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (isLeadByte(c) && i + 1 < name.size()) {
            folded += c;
            folded += name[++i];
        } else {
            folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return folded;
}

// Longest start of `value` of at most `limit` bytes that ends on a character boundary.
QByteArrayView cutToBytes(QByteArrayView value, qsizetype limit)
{
    qsizetype end = 0;
    while (end < value.size()) {
        const qsizetype width = isLeadByte(value[end]) && end + 1 < value.size() ? 2 : 1;
        if (end + width > limit)
            break;
        end += width;
    }
    return value.first(end);
}

// Printable ASCII and tabs read the same in Shift-JIS, so a plain line such
// as "comport=COM3" needs no converter (loading one costs start-up time and
// memory). Some control bytes do not: the converter maps them otherwise.
bool isPlainAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return (c >= 0x20 && c < 0x7F) || c == '\t'; });
}

// Bytes that are no Shift-JIS character come out as U+FFFD, one for each
// character they take the place of; the converter alone would turn them into
// control characters, which a later write would store as other bytes.
QString fromShiftJis(QByteArrayView bytes)
{
    if (isPlainAscii(bytes) || !shiftJisAvailable())
        return QString::fromLatin1(bytes);
    if (std::optional<QString> text = decodeShiftJis(bytes))
        return *text;
    QString text;
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype width = isLeadByte(bytes[i]) && i + 1 < bytes.size() ? 2 : 1;
        const QString character = decodeShiftJis(bytes.sliced(i, width)).value_or(QString());
        text += character.isEmpty() ? QString(QChar::ReplacementCharacter) : character;
        i += width;
    }
    return text;
}

// The Shift-JIS bytes of `text`, or nothing when a character has none that
// reads back as the same character (the converter would put some other byte
// in its place).
std::optional<QByteArray> toShiftJis(const QString& text)
{
    if (std::all_of(text.begin(), text.end(), [](QChar c) {
            return (c.unicode() >= 0x20 && c.unicode() < 0x7F) || c == QLatin1Char('\t');
        }))
        return text.toLatin1();
    if (!shiftJisAvailable()) {
        // Without a Shift-JIS converter only ASCII text keeps its meaning.
        for (const QChar c : text) {
            if (c.unicode() >= 0x80)
                return std::nullopt;
        }
        return text.toLatin1();
    }
    std::optional<QByteArray> bytes = encodeShiftJis(text);
    if (!bytes || fromShiftJis(*bytes) != text)
        return std::nullopt;
    return bytes;
}

// The Shift-JIS form of text from a file in another encoding, with "?" for
// each character that has none.
QByteArray toShiftJisLossy(const QString& text)
{
    if (!shiftJisAvailable())
        return text.toLatin1();
    if (std::optional<QByteArray> bytes = encodeShiftJis(text))
        return *bytes;
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        bytes += encodeShiftJis(QStringView(text).sliced(i, width)).value_or(QByteArray("?"));
        i += width;
    }
    return bytes;
}

// A text editor's "Unicode" is UTF-16 with a byte-order mark.
std::optional<QStringConverter::Encoding> utf16Encoding(QByteArrayView bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return QStringConverter::Utf16LE;
    if (bytes.startsWith("\xFE\xFF"))
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

enum class ProfilePart { Section, Key, Value };

// The Shift-JIS form of a name or value, or nothing when it could not stand
// in a line of the file and be found again. Names lose their blanks, as
// names in the file do.
std::optional<QByteArray> profileBytes(const QString& text, ProfilePart part)
{
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0)))
        return std::nullopt;
    std::optional<QByteArray> bytes = toShiftJis(text);
    if (!bytes || part == ProfilePart::Value)
        return bytes;
    const QByteArray name = trimmedBlanks(*bytes).toByteArray();
    if (name.isEmpty())
        return std::nullopt;
    if (part == ProfilePart::Section && findSingleByte(name, ']') >= 0)
        return std::nullopt;
    if (part == ProfilePart::Key &&
        (findSingleByte(name, '=') >= 0 || name.front() == '[' || name.front() == ';'))
        return std::nullopt;
    return name;
}

// Where a key stands in the text of a file, or where it would go.
struct Location
{
    bool sectionFound = false;
    bool keyFound = false;
    // Key found: the value runs from after "=" to the line end.
    qsizetype valueBegin = 0;
    qsizetype valueEnd = 0;
    // Section found, key missing: just after the last non-blank line of the section.
    qsizetype insertAt = 0;
    bool insertNeedsLineEnd = false;
};

// Looks in the first section named `section` for the first key named `key`
// (both folded). A line is a section header "[name]", a comment starting
// with ";", a key line "name=value", or anything else, which is kept but
// has no meaning; lines end with CR LF, LF or CR.
Location locate(QByteArrayView text, QByteArrayView section, QByteArrayView key)
{
    Location found;
    bool inSection = false;
    qsizetype pos = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && !isLineEnd(text[end]))
            ++end;
        qsizetype next = end;
        if (next < text.size() && text[next] == '\r')
            ++next;
        if (next < text.size() && text[next] == '\n')
            ++next;

        const QByteArrayView line = text.sliced(pos, end - pos);
        qsizetype lead = 0;
        while (lead < line.size() && isBlank(line[lead]))
            ++lead;
        const bool blank = lead == line.size();
        const qsizetype close = !blank && line[lead] == '[' ? findSingleByte(line, ']', lead + 1) : -1;
        if (close >= 0) {
            if (inSection)
                return found;
            const QByteArrayView name = trimmedBlanks(line.sliced(lead + 1, close - lead - 1));
            inSection = foldedName(name) == section;
            if (inSection) {
                found.sectionFound = true;
                found.insertAt = next;
                found.insertNeedsLineEnd = next == end;
            }
        } else if (inSection && !blank) {
            const qsizetype equals = line[lead] == ';' ? -1 : findSingleByte(line, '=', lead);
            if (equals >= 0 && foldedName(trimmedBlanks(line.sliced(lead, equals - lead))) == key) {
                found.keyFound = true;
                found.valueBegin = pos + equals + 1;
                found.valueEnd = end;
                return found;
            }
            found.insertAt = next;
            found.insertNeedsLineEnd = next == end;
        }
        pos = next;
    }
    return found;
}

// The value of a key as a read gives it: up to a NUL, without blanks around
// it or one pair of quotes (double or single) around that, cut to
// MaxValueBytes.
QString valueAt(QByteArrayView text, const Location& location)
{
    QByteArrayView value = text.sliced(location.valueBegin, location.valueEnd - location.valueBegin);
    const qsizetype nul = value.indexOf('\0');
    if (nul >= 0)
        value = value.first(nul);
    value = trimmedBlanks(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return fromShiftJis(cutToBytes(value, MaxValueBytes));
}

struct FileText
{
    QByteArray bytes;
    bool complete = true;
};

// The start of a settings file, at most MaxFileBytes of it; nothing when the
// path is no readable regular file (a folder, a device or a pipe would block
// or never end).
std::optional<FileText> readFileText(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    FileText text;
    // A read reserves all it may take: no more than the file holds (and a byte to tell a cut).
    text.bytes = file.read(qBound(qint64(0), file.size(), qint64(MaxFileBytes)) + 1);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    if (text.bytes.size() > MaxFileBytes) {
        text.complete = false;
    } else if (!file.atEnd()) {
        // The file grew since its size was taken: read on to the limit.
        text.bytes += file.read(MaxFileBytes + 1 - text.bytes.size());
        text.complete = text.bytes.size() <= MaxFileBytes;
    }
    return text;
}

} // namespace

QString GetINIValue(const QString& KEY, const QString& Section, const QString& ININame)
{
    return findINIValue(KEY, Section, ININame).value_or(MissingINIValue.toString());
}

std::optional<QString> findINIValue(const QString& KEY, const QString& Section, const QString& ININame)
{
    return IniFileText::read(ININame).find(KEY, Section);
}

IniFileText IniFileText::read(const QString& ININame)
{
    IniFileText file;
    std::optional<FileText> text = readFileText(ININame);
    if (!text)
        return file;
    if (!text->complete) {
        // A line cut by the size limit would give a truncated value as if it were whole.
        text->bytes.truncate(MaxFileBytes);
        qsizetype lastEnd = text->bytes.size();
        while (lastEnd > 0 && !isLineEnd(text->bytes[lastEnd - 1]))
            --lastEnd;
        text->bytes.truncate(lastEnd);
    }

    if (const std::optional<QStringConverter::Encoding> encoding = utf16Encoding(text->bytes)) {
        // Names and values of such a file are looked up as their Shift-JIS
        // form; only the program's own way of writing the file is Shift-JIS.
        QStringDecoder decoder(*encoding);
        const QString decoded = decoder.decode(text->bytes.sliced(2));
        text->bytes = toShiftJisLossy(decoded);
    }
    file.m_text = std::move(text->bytes);
    return file;
}

std::optional<QString> IniFileText::find(const QString& KEY, const QString& Section) const
{
    if (!m_text)
        return std::nullopt;
    const std::optional<QByteArray> section = profileBytes(Section, ProfilePart::Section);
    const std::optional<QByteArray> key = profileBytes(KEY, ProfilePart::Key);
    if (!section || !key)
        return std::nullopt;
    const Location location = locate(*m_text, foldedName(*section), foldedName(*key));
    if (!location.keyFound)
        return std::nullopt;
    return valueAt(*m_text, location);
}

bool isUtf16INIFile(const QString& ININame)
{
    QFile file(ININame);
    return QFileInfo(ININame).isFile() && file.open(QIODevice::ReadOnly) &&
           utf16Encoding(file.read(2)).has_value();
}

Result<> storeINIValue(const QString& Value, const QString& KEY, const QString& Section,
                       const QString& ININame)
{
    const std::optional<QByteArray> section = profileBytes(Section, ProfilePart::Section);
    const std::optional<QByteArray> key = profileBytes(KEY, ProfilePart::Key);
    if (!section || !key)
        return Failure{QStringLiteral("セクション名「%1」とキー名「%2」は設定ファイルの行にできません")
                           .arg(Section, KEY)};

    QByteArray old;
    if (QFileInfo::exists(ININame)) {
        const std::optional<FileText> text = readFileText(ININame);
        // Rewriting what could not be read whole would lose the rest of it,
        // and Shift-JIS lines in a UTF-16 file would spoil it for its editor.
        if (!text)
            return Failure{QFileInfo(ININame).isFile()
                               ? QStringLiteral("ファイルを読み取れないため、書き換えられません")
                               : QStringLiteral("通常のファイルではありません")};
        if (!text->complete)
            return Failure{QStringLiteral("設定ファイルとしては大きすぎます")};
        if (utf16Encoding(text->bytes))
            return Failure{QStringLiteral("UTF-16のファイルなので書き換えません")};
        old = text->bytes;
    }

    const Location location = locate(old, foldedName(*section), foldedName(*key));
    // A value that reads as the one to store keeps its bytes, whatever
    // quotes, blanks or undecodable bytes it has.
    if (location.keyFound && valueAt(old, location) == Value)
        return {};
    const std::optional<QByteArray> value = profileBytes(Value, ProfilePart::Value);
    if (!value)
        return Failure{QStringLiteral("値「%1」はShift-JISの1行として保存できません").arg(Value)};
    const QByteArray entry = *key + '=' + *value;
    QByteArray updated;
    if (location.keyFound) {
        // The whole value after "=" is replaced, so that writing the same
        // value twice gives the same line.
        updated = old.first(location.valueBegin) + *value + old.sliced(location.valueEnd);
    } else if (location.sectionFound) {
        updated = old.first(location.insertAt);
        if (location.insertNeedsLineEnd)
            updated += "\r\n";
        updated += entry + "\r\n" + old.sliced(location.insertAt);
    } else {
        updated = old;
        if (!updated.isEmpty() && !isLineEnd(updated.back()))
            updated += "\r\n";
        updated += '[' + *section + "]\r\n" + entry + "\r\n";
    }
    if (updated.size() > MaxFileBytes)
        return Failure{QStringLiteral("設定ファイルとしては大きすぎます")};
    return replaceFile(ININame, updated, InPlaceWrite::WhereFolderRefuses);
}

bool SetINIValue(const QString& Value, const QString& KEY, const QString& Section, const QString& ININame)
{
    return storeINIValue(Value, KEY, Section, ININame).ok();
}
