#include "settings/SettingsLocation.h"

#include "settings/IniProfile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

namespace {

const QString FileName = QStringLiteral("Setting.ini");

// QDir::mkpath says only whether it worked; the file system's own error says why not.
Result<> makeFolder(const QString& folder)
{
    std::error_code error;
    std::filesystem::create_directories(QFileInfo(folder).filesystemAbsoluteFilePath(), error);
    if (!error && QFileInfo(folder).isDir())
        return {};
    return Failure{
        QStringLiteral("フォルダ「%1」を作成できません（%2）")
            .arg(QDir::toNativeSeparators(folder),
                 error ? QString::fromLocal8Bit(error.message()) : QStringLiteral("フォルダではありません"))};
}

} // namespace

SettingsLocation::SettingsLocation(const QString& file, const QString& fallbackFile)
    : m_file(file), m_fallbackFile(fallbackFile)
{
}

SettingsLocation SettingsLocation::find(const QString& programFolder, const QString& configFolder)
{
    const QString beside = QDir(programFolder).filePath(FileName);
    const QString users = configFolder.isEmpty() ? QString() : QDir(configFolder).filePath(FileName);
    if (!canWriteSettingsFile(beside) && !users.isEmpty())
        return SettingsLocation(users, beside);
    SettingsLocation location(beside);
    location.m_besideProgram = true;
    location.m_userFile = users;
    return location;
}

SettingsSnapshot SettingsLocation::read() const
{
    return SettingsSnapshot(IniFileText::read(m_file),
                            m_fallbackFile.isEmpty() ? std::nullopt
                                                     : std::optional(IniFileText::read(m_fallbackFile)));
}

QString SettingsLocation::value(const QString& KEY, const QString& Section) const
{
    return read().value(KEY, Section);
}

std::optional<QString> SettingsLocation::storedValue(const QString& KEY, const QString& Section) const
{
    return read().storedValue(KEY, Section);
}

// As the profile functions answer: "ERROR" from the user's file, written or missing, asks the other.
QString SettingsSnapshot::value(const QString& KEY, const QString& Section) const
{
    const QString notStored = MissingINIValue.toString();
    const QString found = m_file.find(KEY, Section).value_or(notStored);
    if (found != notStored || !m_fallback)
        return found;
    return m_fallback->find(KEY, Section).value_or(notStored);
}

std::optional<QString> SettingsSnapshot::storedValue(const QString& KEY, const QString& Section) const
{
    if (std::optional<QString> found = m_file.find(KEY, Section))
        return found;
    return m_fallback ? m_fallback->find(KEY, Section) : std::nullopt;
}

QString SettingsLocation::storeFile() const
{
    if (m_besideProgram && !m_userFile.isEmpty() && !QFileInfo(QFileInfo(m_file).absolutePath()).isDir())
        return m_userFile;
    return m_file;
}

Result<> SettingsLocation::store(const QString& Value, const QString& KEY, const QString& Section) const
{
    // Every close stores the port; one that did not change must not touch a file (nor create
    // the user's folder) where nothing would change, nor fail where the file takes no writes.
    if (storedValue(KEY, Section) == Value)
        return {};
    const QString file = storeFile();
    const QString folder = QFileInfo(file).absolutePath();
    if (file != m_file && Value == MissingINIValue)
        return {};
    // A program folder someone deleted is not brought back to hold a settings file.
    if (m_besideProgram && file == m_file) {
        if (!QFileInfo(folder).isDir())
            return Failure{
                QStringLiteral("フォルダ「%1」がありません").arg(QDir::toNativeSeparators(folder))};
    } else if (Result<> made = makeFolder(folder); !made) {
        return made;
    }
    return storeINIValue(Value, KEY, Section, file);
}

bool canWriteSettingsFile(const QString& path)
{
    const QFileInfo info(path);
    // An existing file is rewritten in place where its folder refuses a new one; one in
    // UTF-16 is never rewritten, so the user's file takes what it cannot.
    if (info.exists())
        return info.isFile() && info.isWritable() && !isUtf16INIFile(path);
    QTemporaryFile probe(QDir(info.absolutePath()).filePath(FileName + QStringLiteral(".XXXXXX")));
    return probe.open();
}
