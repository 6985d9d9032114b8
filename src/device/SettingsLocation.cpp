#include "device/SettingsLocation.h"

#include "device/IniProfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

namespace {

const QString FileName = QStringLiteral("Setting.ini");

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// QDir::mkpath says only whether it worked; the file system's own error says why not.
bool makeFolder(const QString& folder, QString* reason)
{
    std::error_code error;
    std::filesystem::create_directories(QFileInfo(folder).filesystemAbsoluteFilePath(), error);
    if (!error && QFileInfo(folder).isDir())
        return true;
    if (reason)
        *reason = QStringLiteral("フォルダ「%1」を作成できません（%2）")
                      .arg(shown(folder), error ? QString::fromLocal8Bit(error.message())
                                                : QStringLiteral("フォルダではありません"));
    return false;
}

// Why a store into `file` failed, found by trying what a store does first:
// opening a new file beside it that would replace it.
QString whyNotStored(const QString& file, const QString& value)
{
    QSaveFile probe(file);
    if (!probe.open(QIODevice::WriteOnly))
        return probe.errorString();
    probe.cancelWriting();
    const QFileInfo info(file);
    if (info.exists() && !info.isReadable())
        return QStringLiteral("読み取れないため、ほかの行を残して書き換えられません");
    QStringEncoder encoder("Shift_JIS");
    if (encoder.isValid()) {
        // The encoder finds a character without a Shift-JIS form only while converting.
        const QByteArray encoded = encoder.encode(value);
        if (encoder.hasError() || value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
            return QStringLiteral("値「%1」はShift-JISの1行として保存できません").arg(value);
    }
    return QStringLiteral("書き込みを完了できませんでした（ディスクの空き不足など）");
}

} // namespace

SettingsLocation::SettingsLocation(const QString& file, const QString& fallbackFile)
    : m_file(file), m_fallbackFile(fallbackFile)
{
}

SettingsLocation SettingsLocation::find(const QString& programFolder, const QString& configFolder)
{
    const QString beside = QDir(programFolder).filePath(FileName);
    if (canWriteSettingsFile(beside) || configFolder.isEmpty())
        return SettingsLocation(beside);
    return SettingsLocation(QDir(configFolder).filePath(FileName), beside);
}

QString SettingsLocation::value(const QString& KEY, const QString& Section) const
{
    const QString found = GetINIValue(KEY, Section, m_file);
    if (found != QLatin1String("ERROR") || m_fallbackFile.isEmpty())
        return found;
    return GetINIValue(KEY, Section, m_fallbackFile);
}

bool SettingsLocation::store(const QString& Value, const QString& KEY, const QString& Section,
                             QString* reason) const
{
    if (!makeFolder(QFileInfo(m_file).absolutePath(), reason))
        return false;
    if (SetINIValue(Value, KEY, Section, m_file))
        return true;
    if (reason)
        *reason = whyNotStored(m_file, Value);
    return false;
}

bool canWriteSettingsFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && !(info.isFile() && info.isWritable()))
        return false;
    QTemporaryFile probe(QDir(info.absolutePath()).filePath(FileName + QStringLiteral(".XXXXXX")));
    return probe.open();
}
