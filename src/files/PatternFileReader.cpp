#include "files/PatternFile.h"

#include "files/FileName.h"
#include "files/FilePlace.h"
#include "files/FileReason.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <filesystem>
#include <system_error>

// The reader takes fields in file order, wherever the line ends fall, so a
// file written on one line or with other line ends loads the same. It is
// strict about everything the writer can never produce (control bytes, stray
// quotes, overlong fields), because such a file is damaged or not a pattern
// file at all, and loading it would silently put wrong values into the chart.
// Reading ends with the step count, so nothing after it is looked at.
namespace {

constexpr int ChartFields = PatternTable::UsedSteps * PatternTable::UsedChannels;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

bool isTextByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x20 && u < 0x7f) || isBlank(c);
}

// Where the first such byte stands, so that a file damaged in one place can be
// told from one that is no text at all.
QString notText(int line, int field)
{
    return QStringLiteral(
               "パターンファイルではありません（%1 行目の %2 番目の値に文字でないデータがあります）。")
        .arg(line)
        .arg(field);
}

QString tooLarge()
{
    return QStringLiteral("パターンファイルではありません（大きすぎます）。");
}

QString damaged(const QString& why)
{
    return QStringLiteral("ファイルが壊れています（%1）。").arg(why);
}

// An unquoted field: a finite number in any form the C locale reads, an empty
// field as an empty value, anything else as its text.
ElementCode unquotedValue(QByteArrayView field)
{
    if (field.isEmpty())
        return {};
    bool isNumber = false;
    const double number = field.toDouble(&isNumber);
    if (isNumber && std::isfinite(number))
        return ElementCode::number(number);
    return ElementCode::text(QString::fromLatin1(field));
}

// A step count written between quotes still counts when it is a number.
std::optional<qint16> stepCountOf(const ElementCode& field)
{
    const ElementCode value = field.isText() ? unquotedValue(field.textValue().toLatin1().trimmed()) : field;
    if (!value.isNumber())
        return std::nullopt;
    const double number = value.numberValue();
    if (number < -32768 || number > 32767 || std::floor(number) != number)
        return std::nullopt;
    return qint16(number);
}

class FieldReader
{
public:
    // `cut`: the file goes on after `bytes`, beyond what is taken of a file.
    FieldReader(QByteArrayView bytes, bool cut) : m_bytes(bytes), m_cut(cut) {}

    Result<PatternFileContent> read();

private:
    void take(const ElementCode& value);
    // Each returns false with m_error set when the file is refused.
    bool readQuoted(ElementCode& value);
    bool readUnquoted(ElementCode& value);
    bool failOnLine(const QString& why);
    bool checkText(QByteArrayView field);
    // The file is larger than is taken and its fields run past that.
    bool ranPastCut() const { return m_cut && atEnd(); }

    bool atEnd() const { return m_pos == m_bytes.size(); }
    bool atSeparator() const { return atEnd() || m_bytes[m_pos] == ',' || isLineEnd(m_bytes[m_pos]); }
    void skipBlanks();
    void skipLineEnd();

    QByteArrayView m_bytes;
    bool m_cut;
    qsizetype m_pos = 0;
    int m_line = 1;
    int m_fieldOnLine = 0; // of the field being read, from 1
    int m_fieldCount = 0;
    PatternFileContent m_content;
    ElementCode m_stepField;
    QString m_error;
};

void FieldReader::take(const ElementCode& value)
{
    if (m_fieldCount < ChartFields)
        m_content.chart.at(m_fieldCount / PatternTable::UsedChannels,
                           m_fieldCount % PatternTable::UsedChannels) = value;
    else
        m_stepField = value;
    ++m_fieldCount;
}

bool FieldReader::failOnLine(const QString& why)
{
    m_error = damaged(QStringLiteral("%1 行目%2").arg(m_line).arg(why));
    return false;
}

bool FieldReader::checkText(QByteArrayView field)
{
    for (const char c : field) {
        if (!isTextByte(c)) {
            m_error = notText(m_line, m_fieldOnLine);
            return false;
        }
    }
    return true;
}

// The text between the quotes; only blanks may follow the closing quote.
bool FieldReader::readQuoted(ElementCode& value)
{
    const qsizetype start = ++m_pos;
    while (!atEnd() && m_bytes[m_pos] != '"' && !isLineEnd(m_bytes[m_pos]))
        ++m_pos;
    if (atEnd() || m_bytes[m_pos] != '"')
        return failOnLine(QStringLiteral("の引用符が閉じていません"));
    if (m_pos - start > MaxPatternFieldBytes)
        return failOnLine(QStringLiteral("に長すぎる値があります"));
    const QByteArrayView text = m_bytes.sliced(start, m_pos - start);
    if (!checkText(text))
        return false;
    value = ElementCode::text(QString::fromLatin1(text));
    ++m_pos;
    skipBlanks();
    if (!atSeparator())
        return failOnLine(QStringLiteral("の引用符の位置が正しくありません"));
    return true;
}

bool FieldReader::readUnquoted(ElementCode& value)
{
    const qsizetype start = m_pos;
    for (; !atSeparator(); ++m_pos)
        if (m_bytes[m_pos] == '"')
            return failOnLine(QStringLiteral("の引用符の位置が正しくありません"));
    qsizetype end = m_pos;
    while (end > start && isBlank(m_bytes[end - 1]))
        --end;
    if (end - start > MaxPatternFieldBytes)
        return failOnLine(QStringLiteral("に長すぎる値があります"));
    const QByteArrayView field = m_bytes.sliced(start, end - start);
    if (!checkText(field))
        return false;
    value = unquotedValue(field);
    return true;
}

void FieldReader::skipBlanks()
{
    while (!atEnd() && isBlank(m_bytes[m_pos]))
        ++m_pos;
}

void FieldReader::skipLineEnd()
{
    if (m_bytes[m_pos] == '\r' && m_pos + 1 < m_bytes.size() && m_bytes[m_pos + 1] == '\n')
        ++m_pos;
    ++m_pos;
    ++m_line;
    m_fieldOnLine = 0;
}

Result<PatternFileContent> FieldReader::read()
{
    // After a comma a field is due even if nothing stands before the next
    // separator; a line holding nothing carries no field, so blank lines
    // (such as trailing ones) are harmless.
    bool fieldDue = false;
    while (m_fieldCount <= ChartFields) {
        skipBlanks();
        if (atEnd() || isLineEnd(m_bytes[m_pos])) {
            if (fieldDue)
                take({});
            fieldDue = false;
            if (atEnd())
                break;
            skipLineEnd();
            continue;
        }
        ElementCode value;
        ++m_fieldOnLine;
        const bool read = m_bytes[m_pos] == '"' ? readQuoted(value) : readUnquoted(value);
        if (ranPastCut())
            return Failure{tooLarge()};
        if (!read)
            return Failure{m_error};
        take(value);
        fieldDue = !atEnd() && m_bytes[m_pos] == ',';
        if (fieldDue)
            ++m_pos;
    }

    if (ranPastCut())
        return Failure{tooLarge()};
    if (m_fieldCount == 0)
        return Failure{QStringLiteral("ファイルが空です。")};
    if (m_fieldCount <= ChartFields)
        return Failure{damaged(QStringLiteral("値が足りません"))};
    const std::optional<qint16> stepCount = stepCountOf(m_stepField);
    if (!stepCount)
        return Failure{damaged(QStringLiteral("ステップ数が正しくありません"))};
    m_content.stepCount = *stepCount;
    return std::move(m_content);
}

} // namespace

Result<PatternFileContent> parsePatternFile(QByteArrayView bytes)
{
    // Only the start of a larger file is taken; its fields must end there.
    const bool cut = bytes.size() > MaxPatternFileBytes;
    if (cut)
        bytes = bytes.first(MaxPatternFileBytes);
    // Editors that save text as UTF-8 may put a byte-order mark in front.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    return FieldReader(bytes, cut).read();
}

namespace {

// Why there is no file to read under a name the system could not find, with its error.
QString notFound(const QString& name, std::error_code error)
{
    if (error == std::errc::filename_too_long)
        return QStringLiteral("ファイル名が長すぎます。");
    if (error == std::errc::too_many_symbolic_link_levels)
        return QStringLiteral("ファイルを読み込めません（リンク先をたどれません）。");
    if (error && error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory)
        return QStringLiteral("ファイルを読み込めません（%1）。").arg(systemReasonText(error.value()));
    if (const std::optional<QString> missing = missingFolder(name))
        return QStringLiteral("ファイルが見つかりません（%1）。").arg(*missing);
    return QStringLiteral("ファイルが見つかりません。");
}

} // namespace

Result<PatternFileContent> loadPatternFile(const QString& name)
{
    // A name in bytes that are no text is found by those bytes.
    const FileByBytes byBytes(name);
    if (byBytes.path().isEmpty())
        return Failure{notFound(name, std::error_code(byBytes.error(), std::generic_category()))};
    const QString path = byBytes.path();
    const QFileInfo info(path);
    if (!info.exists()) {
        if (!followLinks(path))
            return Failure{QStringLiteral("ファイルを読み込めません（リンク先をたどれません）。")};
        std::error_code error;
        [[maybe_unused]] const auto status = std::filesystem::status(fileSystemPath(path), error);
        return Failure{notFound(name, error)};
    }
    // A folder or a pipe is no pattern file, and reading a pipe could wait
    // forever.
    if (!info.isFile())
        return Failure{QStringLiteral("パターンファイルではありません（通常のファイルではありません）。")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure{
            QStringLiteral("ファイルを読み込めません（%1）。").arg(inUserWords(file.errorString()))};
    // One byte past the limit tells the parser that the file goes on,
    // whatever size the file system reports.
    const QByteArray bytes = file.read(MaxPatternFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return Failure{
            QStringLiteral("ファイルを読み込めません（%1）。").arg(inUserWords(file.errorString()))};
    return parsePatternFile(bytes);
}
