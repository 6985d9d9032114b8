#include "settings/IniProfile.h"

#include "FileBytes.h"
#include "SmallFileSystem.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

// The settings file as it lies on disk: every fixture is written as literal
// bytes and every write is checked byte for byte.
class TestIniProfile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void read_data();
    void read();
    void readFromNonFiles();
    void write_data();
    void write();
    void writeIsRepeatable_data();
    void writeIsRepeatable();
    void writeKeepsValueThatReadsTheSame_data();
    void writeKeepsValueThatReadsTheSame();
    void writeRefused_data();
    void writeRefused();
    void writeKeepsPermissions_data();
    void writeKeepsPermissions();
    void writeOnFullDisk();
    void writeInPlaceWhereFolderRefuses_data();
    void writeInPlaceWhereFolderRefuses();
    void writeInPlaceFailureKeepsOldBytes();
    void writeIntoUnreachablePlace_data();
    void writeIntoUnreachablePlace();

private:
    QString iniPath() const { return dir->filePath(QStringLiteral("Setting.ini")); }
    void putFile(const QByteArray& bytes) const;
    QByteArray fileBytes() const;

    std::unique_ptr<QTemporaryDir> dir;
};

// A null array in a row stands for no file at all.
static const QByteArray NoFile;

// What a text editor saves as "Unicode": UTF-16 with a byte-order mark.
static QByteArray utf16File(const char* text)
{
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return "\xFF\xFE" + QByteArray(encoder.encode(QString::fromUtf8(text)));
}

void TestIniProfile::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestIniProfile::putFile(const QByteArray& bytes) const
{
    QVERIFY(writeFile(iniPath(), bytes));
}

QByteArray TestIniProfile::fileBytes() const
{
    return readFile(iniPath());
}

#ifdef Q_OS_WIN
namespace {

// The reference: Windows' own profile functions, in the system's code page.
bool systemCodePageIs932()
{
    return ::GetACP() == 932;
}

QByteArray systemBytes(const QString& text)
{
    const auto* characters = reinterpret_cast<const wchar_t*>(text.utf16());
    QByteArray bytes(
        ::WideCharToMultiByte(CP_ACP, 0, characters, int(text.size()), nullptr, 0, nullptr, nullptr),
        Qt::Uninitialized);
    ::WideCharToMultiByte(CP_ACP, 0, characters, int(text.size()), bytes.data(), int(bytes.size()), nullptr,
                          nullptr);
    return bytes;
}

QString systemText(QByteArrayView bytes)
{
    QString text(::MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0),
                 Qt::Uninitialized);
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), reinterpret_cast<wchar_t*>(text.data()),
                          int(text.size()));
    return text;
}

// A value as the program's original read it: "ERROR" for none, into a buffer of 255 bytes.
QString windowsValue(const QString& section, const QString& key, const QString& file)
{
    char buffer[255] = {};
    ::GetPrivateProfileStringA(systemBytes(section).constData(), systemBytes(key).constData(), "ERROR",
                               buffer, sizeof buffer,
                               systemBytes(QDir::toNativeSeparators(file)).constData());
    return systemText(buffer);
}

} // namespace
#endif

void TestIniProfile::read_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QString setting = QStringLiteral("Setting");
    const QString comport = QStringLiteral("comport");
    const QString error = QStringLiteral("ERROR");
    const QByteArray typical = "[Setting]\r\ncomport=COM3\r\n";

    // clang-format off
    QTest::newRow("typical file") << typical << setting << comport << "COM3";
    QTest::newRow("missing file") << NoFile << setting << comport << error;
    QTest::newRow("empty file") << QByteArray("") << setting << comport << error;
    QTest::newRow("missing section") << QByteArray("[Other]\r\ncomport=COM3\r\n") << setting << comport << error;
    QTest::newRow("missing key") << QByteArray("[Setting]\r\nport=COM3\r\n") << setting << comport << error;
    QTest::newRow("key of another section") << QByteArray("[Other]\r\ncomport=COM5\r\n[Setting]\r\nx=1\r\n") << setting << comport << error;
    QTest::newRow("key before any section") << QByteArray("comport=COM5\r\n[Setting]\r\n") << setting << comport << error;
    QTest::newRow("section and key in other case") << QByteArray("[SETTING]\r\nComPort=COM3\r\n") << "setting" << "COMPORT" << "COM3";
    QTest::newRow("blanks around names and value") << QByteArray("  [ Setting ]  \r\n\t comport \t=  \tCOM3 \t \r\n") << setting << comport << "COM3";
    QTest::newRow("blanks inside the value stay") << QByteArray("[Setting]\r\ncomport= CO M3 \r\n") << setting << comport << "CO M3";
    QTest::newRow("empty value") << QByteArray("[Setting]\r\ncomport=\r\n") << setting << comport << "";
    QTest::newRow("value of blanks") << QByteArray("[Setting]\r\ncomport= \t \r\n") << setting << comport << "";
    QTest::newRow("double quotes dropped") << QByteArray("[Setting]\r\ncomport=\"COM3\"\r\n") << setting << comport << "COM3";
    QTest::newRow("single quotes dropped") << QByteArray("[Setting]\r\ncomport='COM3'\r\n") << setting << comport << "COM3";
    QTest::newRow("quotes outside blanks dropped, blanks inside kept") << QByteArray("[Setting]\r\ncomport= \" COM3 \" \r\n") << setting << comport << " COM3 ";
    QTest::newRow("only one pair of quotes dropped") << QByteArray("[Setting]\r\ncomport=\"\"COM3\"\"\r\n") << setting << comport << "\"COM3\"";
    QTest::newRow("empty quotes") << QByteArray("[Setting]\r\ncomport=\"\"\r\n") << setting << comport << "";
    QTest::newRow("unmatched quotes stay") << QByteArray("[Setting]\r\ncomport=\"COM3'\r\n") << setting << comport << "\"COM3'";
    QTest::newRow("opening quote alone stays") << QByteArray("[Setting]\r\ncomport=\"COM3\r\n") << setting << comport << "\"COM3";
    QTest::newRow("lone quote stays") << QByteArray("[Setting]\r\ncomport=\"\r\n") << setting << comport << "\"";
    QTest::newRow("line ends LF") << QByteArray("[Setting]\ncomport=COM4\n") << setting << comport << "COM4";
    QTest::newRow("line ends CR") << QByteArray("[Setting]\rcomport=COM4\r") << setting << comport << "COM4";
    QTest::newRow("no final line end") << QByteArray("[Setting]\r\ncomport=COM4") << setting << comport << "COM4";
    QTest::newRow("UTF-8 byte order mark") << QByteArray("\xEF\xBB\xBF[Setting]\r\ncomport=COM4\r\n") << setting << comport << "COM4";
    QTest::newRow("comment line is no key") << QByteArray("[Setting]\r\n;comport=COM1\r\ncomport=COM2\r\n") << setting << comport << "COM2";
    QTest::newRow("line without equals is no key") << QByteArray("[Setting]\r\ncomport\r\n") << setting << comport << error;
    QTest::newRow("unclosed header is no section") << QByteArray("[Setting\r\ncomport=COM3\r\n") << setting << comport << error;
    QTest::newRow("duplicate keys: first wins") << QByteArray("[Setting]\r\ncomport=COM1\r\ncomport=COM2\r\n") << setting << comport << "COM1";
    QTest::newRow("duplicate sections: first wins") << QByteArray("[Setting]\r\ncomport=COM1\r\n[setting]\r\ncomport=COM2\r\n") << setting << comport << "COM1";
    QTest::newRow("value ends at a NUL") << QByteArray("[Setting]\r\ncomport=COM3\0junk\r\n", 26) << setting << comport << "COM3";
    QTest::newRow("empty key asked") << QByteArray("[Setting]\r\n=COM3\r\n") << setting << "" << error;

    QTest::newRow("Shift-JIS value") << QByteArray("[Setting]\r\ncomport=\x91\x49\x91\xF0\r\n") << setting << comport << QString::fromUtf8("選択");
    // ゾーン is 83 5D 81 5B 83 93: its second bytes are "]" and "[".
    QTest::newRow("Shift-JIS section holding ] and [ bytes") << QByteArray("[\x83\x5D\x81\x5B\x83\x93]\r\nkey=v\r\n") << QString::fromUtf8("ゾーン") << "key" << "v";
    // 選 is 91 49; 91 69 is another character, not 選 in lower case.
    QTest::newRow("second bytes keep their case") << QByteArray("[\x91\x69]\r\nkey=v\r\n") << QString::fromUtf8("選") << "key" << error;

    QTest::newRow("bytes that are no Shift-JIS read as U+FFFD") << QByteArray("[Setting]\r\ncomport=C\xA0M\x81\x20\r\n") << setting << comport << QString::fromUtf8("C\uFFFDM\uFFFD");
    QTest::newRow("UTF-16 file with byte-order mark") << utf16File("[Setting]\r\ncomport=選択\r\n") << setting << comport << QString::fromUtf8("選択");

    QTest::newRow("300 bytes cut to 254") << "[Setting]\r\ncomport=" + QByteArray(300, 'A') + "\r\n" << setting << comport << QString(254, QLatin1Char('A'));
    QTest::newRow("quotes dropped before the cut") << "[Setting]\r\ncomport=\"" + QByteArray(300, 'A') + "\"\r\n" << setting << comport << QString(254, QLatin1Char('A'));
    QTest::newRow("cut leaves no half character") << "[Setting]\r\ncomport=A" + QByteArray("\x91\x49").repeated(150) + "\r\n" << setting << comport << "A" + QString::fromUtf8("選").repeated(126);

    QByteArray binary;
    for (int i = 0; i < 200000; ++i)
        binary += static_cast<char>((i * 37) % 256);
    QTest::newRow("NULs and binary before the section") << QByteArray(5000, '\0') + binary + "\n[Setting]\ncomport=COM3\n" << setting << comport << "COM3";
    QTest::newRow("section beyond the first megabyte") << QByteArray(8 * 1024 * 1024, 'x') + "\n[Setting]\ncomport=COM3\n" << setting << comport << error;
    QTest::newRow("value line cut by the first megabyte") << "[Setting]\ncomport=COM3" + QByteArray(2 * 1024 * 1024, ' ') + "\n" << setting << comport << error;
    // clang-format on
}

void TestIniProfile::read()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    if (!file.isNull())
        putFile(file);
    QCOMPARE(GetINIValue(key, section, iniPath()), expected);
#ifdef Q_OS_WIN
    // In code page 932 Windows' own GetPrivateProfileStringA is the reference: it reads the
    // same, but where the program parts on purpose.
    if (!systemCodePageIs932())
        return;
    QEXPECT_FAIL("empty key asked", "a line with no name before \"=\" is no key to the program", Continue);
    QEXPECT_FAIL(
        "bytes that are no Shift-JIS read as U+FFFD",
        "bytes without a character are kept by Windows; the program reads them as U+FFFD, so that they "
        "are never stored back as other bytes",
        Continue);
    QEXPECT_FAIL("section beyond the first megabyte",
                 "the program looks at a settings file's first megabyte only", Continue);
    QEXPECT_FAIL("value line cut by the first megabyte",
                 "the program looks at a settings file's first megabyte only", Continue);
    QCOMPARE(windowsValue(section, key, iniPath()), expected);
#endif
}

void TestIniProfile::readFromNonFiles()
{
    QCOMPARE(GetINIValue("comport", "Setting", dir->path()), QStringLiteral("ERROR"));
#ifdef Q_OS_UNIX
    // A device never ends; it must not be read as a file.
    QCOMPARE(GetINIValue("comport", "Setting", "/dev/zero"), QStringLiteral("ERROR"));
#endif
}

void TestIniProfile::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("after");

    const QString setting = QStringLiteral("Setting");
    const QString comport = QStringLiteral("comport");

    // clang-format off
    QTest::newRow("new file") << NoFile << "COM3" << setting << comport << QByteArray("[Setting]\r\ncomport=COM3\r\n");
    QTest::newRow("empty file") << QByteArray("") << "COM3" << setting << comport << QByteArray("[Setting]\r\ncomport=COM3\r\n");
    QTest::newRow("Shift-JIS value") << NoFile << QString::fromUtf8("選択") << setting << comport << QByteArray("[Setting]\r\ncomport=\x91\x49\x91\xF0\r\n");
    QTest::newRow("empty value") << NoFile << "" << setting << comport << QByteArray("[Setting]\r\ncomport=\r\n");
    QTest::newRow("new section appended") << QByteArray("[Other]\r\na=1\r\n") << "COM3" << setting << comport << QByteArray("[Other]\r\na=1\r\n[Setting]\r\ncomport=COM3\r\n");
    QTest::newRow("new section after a last line without line end") << QByteArray("[Other]\na=1") << "COM3" << setting << comport << QByteArray("[Other]\na=1\r\n[Setting]\r\ncomport=COM3\r\n");
    QTest::newRow("new key after the last line of its section") << QByteArray("[Setting]\r\nother=1\r\n; note\r\n\r\n[Next]\r\nb=2\r\n") << "COM3" << setting << comport << QByteArray("[Setting]\r\nother=1\r\n; note\r\ncomport=COM3\r\n\r\n[Next]\r\nb=2\r\n");
    QTest::newRow("new key in a last section without line end") << QByteArray("[Setting]\r\nother=1") << "COM3" << setting << comport << QByteArray("[Setting]\r\nother=1\r\ncomport=COM3\r\n");
    QTest::newRow("value replaced, the rest kept byte for byte") << QByteArray("; saved by hand\r\n[Other]\n  x = 1 \n\n[ setting ]\r\n\tComPort =  COM1  \r\nz=9\r\n\r\n") << "COM12" << setting << comport << QByteArray("; saved by hand\r\n[Other]\n  x = 1 \n\n[ setting ]\r\n\tComPort =COM12\r\nz=9\r\n\r\n");
    QTest::newRow("LF line end of the replaced line stays") << QByteArray("[Setting]\ncomport=COM1\nnext=1") << "COM3" << setting << comport << QByteArray("[Setting]\ncomport=COM3\nnext=1");
    QTest::newRow("first of duplicate keys replaced") << QByteArray("[Setting]\r\ncomport=COM1\r\ncomport=COM2\r\n") << "COM3" << setting << comport << QByteArray("[Setting]\r\ncomport=COM3\r\ncomport=COM2\r\n");
    QTest::newRow("Shift-JIS value replaced by a name") << QByteArray("[Setting]\r\ncomport=\x91\x49\x91\xF0\r\n") << "COM3" << setting << comport << QByteArray("[Setting]\r\ncomport=COM3\r\n");
    // clang-format on
}

void TestIniProfile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);

    if (!before.isNull())
        putFile(before);
    QVERIFY(SetINIValue(value, key, section, iniPath()));
    QCOMPARE(fileBytes(), after);
    QCOMPARE(GetINIValue(key, section, iniPath()), value);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{"Setting.ini"});
#ifdef Q_OS_WIN
    // In code page 932 the file reads as the value through Windows' own GetPrivateProfileStringA,
    // and is the file its WritePrivateProfileStringA makes of the same one, except where
    // Windows writes the whole file in a form of its own.
    if (!systemCodePageIs932())
        return;
    QCOMPARE(windowsValue(section, key, iniPath()), value);
    // Into a file of another name: Windows remembers the files it has read.
    const QString reference = dir->filePath("Windows.ini");
    if (!before.isNull())
        QVERIFY(writeFile(reference, before));
    QVERIFY(::WritePrivateProfileStringA(systemBytes(section).constData(), systemBytes(key).constData(),
                                         systemBytes(value).constData(),
                                         systemBytes(QDir::toNativeSeparators(reference)).constData()));
    const char* const rewritten = "Windows writes the whole file in its own form (CR LF line ends, no blanks "
                                  "around names or empty lines); the program changes the value alone";
    QEXPECT_FAIL("new section after a last line without line end", rewritten, Continue);
    QEXPECT_FAIL("new key after the last line of its section", rewritten, Continue);
    QEXPECT_FAIL("value replaced, the rest kept byte for byte", rewritten, Continue);
    QEXPECT_FAIL("LF line end of the replaced line stays", rewritten, Continue);
    QCOMPARE(readFile(reference), after);
#endif
}

// The same value written twice gives the same bytes, whatever blanks or quotes it has.
void TestIniProfile::writeIsRepeatable_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("leading blank") << " x" << QByteArray("[Setting]\r\ncomport= x\r\n");
    QTest::newRow("trailing blank") << "x " << QByteArray("[Setting]\r\ncomport=x \r\n");
    QTest::newRow("quoted") << "\"x\"" << QByteArray("[Setting]\r\ncomport=\"x\"\r\n");
}

void TestIniProfile::writeIsRepeatable()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, after);

    putFile("[Setting]\r\ncomport=COM1\r\n");
    QVERIFY(SetINIValue(value, "comport", "Setting", iniPath()));
    QCOMPARE(fileBytes(), after);
    QVERIFY(SetINIValue(value, "comport", "Setting", iniPath()));
    QCOMPARE(fileBytes(), after);
}

// What start-up reads and shutdown writes back unchanged keeps its bytes.
void TestIniProfile::writeKeepsValueThatReadsTheSame_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("value");

    // clang-format off
    QTest::newRow("quoted") << QByteArray("[Setting]\r\ncomport=\"COM3\"\r\n") << "COM3";
    QTest::newRow("blanks around") << QByteArray("[Setting]\r\ncomport=  COM3 \t\r\n") << "COM3";
    QTest::newRow("bytes that are no Shift-JIS") << QByteArray("[Setting]\r\ncomport=C\xA0M\xFD\r\n") << QString::fromUtf8("C\uFFFDM\uFFFD");
    // clang-format on
}

void TestIniProfile::writeKeepsValueThatReadsTheSame()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, value);

    putFile(file);
    QCOMPARE(GetINIValue("comport", "Setting", iniPath()), value);
    QVERIFY(SetINIValue(value, "comport", "Setting", iniPath()));
    QCOMPARE(fileBytes(), file);
}

void TestIniProfile::writeRefused_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");

    const QByteArray typical = "[Setting]\r\ncomport=COM3\r\n";
    // clang-format off
    QTest::newRow("line break in the value") << typical << "COM1\r\n[Evil]" << "Setting" << "comport";
    QTest::newRow("equals sign in the key") << typical << "COM1" << "Setting" << "com=port";
    QTest::newRow("bracket in the section") << typical << "COM1" << "Set]ting" << "comport";
    QTest::newRow("empty key") << typical << "COM1" << "Setting" << "";
    QTest::newRow("character without Shift-JIS form") << typical << QString::fromUtf8("COM\U0001F600") << "Setting" << "comport";
    QTest::newRow("file larger than a settings file") << typical + QByteArray(2 * 1024 * 1024, ';') << "COM1" << "Setting" << "comport";
    QTest::newRow("no file, line break in the value") << NoFile << "COM1\n" << "Setting" << "comport";
    QTest::newRow("replacement character of an undecodable byte") << typical << QString::fromUtf8("COM\uFFFD") << "Setting" << "comport";
    QTest::newRow("UTF-16 file left as it is") << utf16File("[Setting]\r\ncomport=COM3\r\n") << "COM1" << "Setting" << "comport";
    // clang-format on
}

void TestIniProfile::writeRefused()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QString, section);
    QFETCH(QString, key);

    if (!before.isNull())
        putFile(before);
    QVERIFY(!SetINIValue(value, key, section, iniPath()));
    QCOMPARE(fileBytes(), before);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files),
             before.isNull() ? QStringList() : QStringList{"Setting.ini"});
}

void TestIniProfile::writeIntoUnreachablePlace_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("missing folder") << "missing/Setting.ini";
    QTest::newRow("a folder in the file's place") << "folder";
    QTest::newRow("a file in the folder's place") << "plain.txt/Setting.ini";
}

void TestIniProfile::writeIntoUnreachablePlace()
{
    QFETCH(QString, relativePath);
    QVERIFY(QDir(dir->path()).mkdir("folder"));
    {
        QFile plain(dir->filePath("plain.txt"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
    }

    QVERIFY(!SetINIValue("COM3", "comport", "Setting", dir->filePath(relativePath)));
    QDir top(dir->path());
    QCOMPARE(top.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             (QStringList{"folder", "plain.txt"}));
    QVERIFY(QDir(dir->filePath("folder")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void TestIniProfile::writeKeepsPermissions_data()
{
    using P = QFileDevice;
    QTest::addColumn<QFileDevice::Permissions>("permissions");
#ifndef Q_OS_WIN
    // Windows keeps no such bits, only whether the file is read-only.
    QTest::newRow("rw-r-----") << (P::ReadOwner | P::WriteOwner | P::ReadGroup);
#endif
    // Only an administrator may write it; it stays read-only afterwards.
    QTest::newRow("r--r--r--") << (P::ReadOwner | P::ReadGroup | P::ReadOther);
}

void TestIniProfile::writeKeepsPermissions()
{
    QFETCH(QFileDevice::Permissions, permissions);
    using P = QFileDevice;
    const P::Permissions bits = P::ReadOwner | P::WriteOwner | P::ExeOwner | P::ReadGroup | P::WriteGroup |
                                P::ExeGroup | P::ReadOther | P::WriteOther | P::ExeOther;
    const QByteArray before = "[Setting]\r\ncomport=COM3\r\n";
    putFile(before);
    QVERIFY(QFile::setPermissions(iniPath(), permissions));

    const bool written = SetINIValue("COM4", "comport", "Setting", iniPath());
    QCOMPARE(fileBytes(), written ? QByteArray("[Setting]\r\ncomport=COM4\r\n") : before);
    QCOMPARE(QFileInfo(iniPath()).permissions() & bits, permissions);
}

void TestIniProfile::writeOnFullDisk()
{
    SmallFileSystem disk("size=64k");
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.whyNotMounted()));
    const QString path = disk.filePath("Setting.ini");
    const QByteArray before = "[Setting]\r\ncomport=COM3\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n";
    QVERIFY(writeFile(path, before));
    QVERIFY(disk.fillBlocks());

    QVERIFY(!SetINIValue("COM12", "comport", "Setting", path));
    QCOMPARE(readFile(path), before);
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"filler", "Setting.ini"}));
}

// A file the user may write in a folder where no new file can be made is
// written in place, as the profile functions do.
void TestIniProfile::writeInPlaceWhereFolderRefuses_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("folder without write permission") << "read-only folder";
    QTest::newRow("file system without a free entry") << "no free entry";
}

void TestIniProfile::writeInPlaceWhereFolderRefuses()
{
    QFETCH(QString, folder);

    std::unique_ptr<SmallFileSystem> disk;
    QString path = iniPath();
    if (folder == "no free entry") {
        disk = std::make_unique<SmallFileSystem>("size=64k,nr_inodes=16");
        if (!disk->isMounted())
            QSKIP(qPrintable(disk->whyNotMounted()));
        path = disk->filePath("Setting.ini");
    }
    QVERIFY(writeFile(path, "[Setting]\r\ncomport=COM3\r\n"));
    const QString parent = QFileInfo(path).absolutePath();
    const auto restore = qScopeGuard(
        [&] { QFile::setPermissions(parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
    if (disk) {
        QVERIFY(disk->fillEntries());
    } else {
        QVERIFY(QFile::setPermissions(parent, QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(dir->filePath("probe"));
        if (probe.open(QIODevice::WriteOnly))
            QSKIP("permission bits do not stop this user from making files");
    }
    const QStringList entries = QDir(parent).entryList(QDir::Files | QDir::Hidden);

    QVERIFY(SetINIValue("COM12", "comport", "Setting", path));
    QCOMPARE(readFile(path), QByteArray("[Setting]\r\ncomport=COM12\r\n"));
    QCOMPARE(QDir(parent).entryList(QDir::Files | QDir::Hidden), entries);
}

void TestIniProfile::writeInPlaceFailureKeepsOldBytes()
{
    SmallFileSystem disk("size=64k,nr_inodes=16");
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.whyNotMounted()));
    // One whole page: a longer value needs another, which the full disk refuses.
    QByteArray before = "[Setting]\r\ncomport=COM3\r\n;";
    before += QByteArray(4096 - 2 - before.size(), '-') + "\r\n";
    const QString path = disk.filePath("Setting.ini");
    QVERIFY(writeFile(path, before));
    QVERIFY(disk.fillBlocks());
    QVERIFY(disk.fillEntries());

    QVERIFY(!SetINIValue("COM12", "comport", "Setting", path));
    QCOMPARE(readFile(path), before);
}

QTEST_GUILESS_MAIN(TestIniProfile)
#include "tst_iniprofile.moc"
