#include "ReadOnlyFolder.h"
#include "settings/SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// Which "Setting.ini" is read and written, over real folders: a program
// folder that can be written (a build folder) or not (an installed program),
// with or without a file beside the program and in the user's configuration
// folder.
class TestSettingsLocation : public QObject
{
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
    void unchangedValueWritesNothing_data();
    void unchangedValueWritesNothing();
    void failedStoreSaysWhy_data();
    void failedStoreSaysWhy();
    void writableFileInClosedFolder();
    void deletedProgramFolderNotMade();
};

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const QByteArray Folder = "(folder)";

// As a text editor saves a file as "Unicode": UTF-16 with a byte-order mark.
QByteArray utf16(const char* text)
{
    QByteArray bytes("\xFF\xFE");
    for (const char* c = text; *c; ++c)
        bytes += QByteArray(1, *c) + '\0';
    return bytes;
}

} // namespace

void TestSettingsLocation::choice_data()
{
    QTest::addColumn<bool>("programReadOnly");
    QTest::addColumn<QByteArray>("besideProgram"); // null: none; "(folder)": a folder of that name
    QTest::addColumn<QByteArray>("usersFile");     // null: none, nor the configuration folder
    QTest::addColumn<bool>("usersFileUsed");
    QTest::addColumn<QString>("comport");
    QTest::addColumn<QString>("com3");
    QTest::addColumn<QByteArray>("stored"); // the file written after storing comport=COM5

    const QByteArray none;
    const QByteArray handEdited =
        "; by the administrator\r\n[Setting]\r\ncomport=COM2\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n";
    const QByteArray users = "[Setting]\r\ncomport=COM7\r\n";
    const QByteArray usersMapped = "[Setting]\r\ncomport=COM7\r\n[Ports]\r\nCOM3=/dev/ttyACM0\r\n";
    const QByteArray com5 = "[Setting]\r\ncomport=COM5\r\n";

    // clang-format off
    QTest::newRow("build folder, first run") << false << none << none << false << "ERROR" << "ERROR" << com5;
    QTest::newRow("build folder keeps its own file, the user's is not read") << false << handEdited << usersMapped << false << "COM2" << "/dev/ttyUSB0" << QByteArray( "; by the administrator\r\n[Setting]\r\ncomport=COM5\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n");
    QTest::newRow("installed, first run, no configuration folder yet") << true << none << none << true << "ERROR" << "ERROR" << com5;
    QTest::newRow("installed, the user's file") << true << none << users << true << "COM7" << "ERROR" << com5;
    QTest::newRow("installed, hand-edited file beside it, first run") << true << handEdited << none << true << "COM2" << "/dev/ttyUSB0" << com5;
    QTest::newRow("installed, both files: the user's port, the program's device") << true << handEdited << users << true << "COM7" << "/dev/ttyUSB0" << com5;
    QTest::newRow("installed, the user's file maps the port too") << true << handEdited << usersMapped << true << "COM7" << "/dev/ttyACM0" << QByteArray("[Setting]\r\ncomport=COM5\r\n[Ports]\r\nCOM3=/dev/ttyACM0\r\n");
    QTest::newRow("a folder where the program's file should be") << false << Folder << none << true << "ERROR" << "ERROR" << com5;
    // A file in UTF-16 is read but never written: the user's file takes what it cannot.
    QTest::newRow("build folder, its file in UTF-16") << false << utf16("[Setting]\r\ncomport=COM2\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n") << none << true << "COM2" << "/dev/ttyUSB0" << com5;
    // clang-format on
}

void TestSettingsLocation::choice()
{
    QFETCH(bool, programReadOnly);
    QFETCH(QByteArray, besideProgram);
    QFETCH(QByteArray, usersFile);
    QFETCH(bool, usersFileUsed);
    QFETCH(QString, comport);
    QFETCH(QString, com3);
    QFETCH(QByteArray, stored);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString program = root.filePath("program");
    const QString config = root.filePath("home/.config/trv5kb-programmer");
    const QString beside = program + "/Setting.ini";
    const QString userPath = config + "/Setting.ini";
    QVERIFY(QDir().mkpath(program));
    if (besideProgram == Folder)
        QVERIFY(QDir().mkpath(beside));
    else if (!besideProgram.isNull())
        QVERIFY(writeAll(beside, besideProgram));
    if (!usersFile.isNull()) {
        QVERIFY(QDir().mkpath(config));
        QVERIFY(writeAll(userPath, usersFile));
    }
    const QStringList programFiles = QDir(program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    std::unique_ptr<ReadOnlyFolder> readOnly;
    if (programReadOnly) {
        readOnly = std::make_unique<ReadOnlyFolder>(program);
        if (!readOnly->failure().isEmpty())
            QSKIP(qPrintable(readOnly->failure()));
    }

    const SettingsLocation location = SettingsLocation::find(program, config);
    QCOMPARE(location.file(), usersFileUsed ? userPath : beside);
    QCOMPARE(location.fallbackFile(), usersFileUsed ? beside : QString());
    QCOMPARE(location.value("comport", "Setting"), comport);
    QCOMPARE(location.value("COM3", "Ports"), com3);

    const Result<> written = location.store("COM5", "comport", "Setting");
    QVERIFY2(written, qPrintable(written.reason()));
    QCOMPARE(readAll(location.file()), stored);
    QCOMPARE(location.value("comport", "Setting"), "COM5");
    // The program's folder is left as it was: no file beside a program the
    // user's settings went past, and nothing left over from the check.
    if (usersFileUsed) {
        QCOMPARE(QDir(program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), programFiles);
        if (besideProgram != Folder)
            QCOMPARE(readAll(beside), besideProgram.isNull() ? QByteArray("(missing)") : besideProgram);
    } else {
        QCOMPARE(QDir(program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"Setting.ini"});
        if (!usersFile.isNull())
            QCOMPARE(readAll(userPath), usersFile);
    }
}

void TestSettingsLocation::unchangedValueWritesNothing_data()
{
    QTest::addColumn<bool>("programReadOnly");
    QTest::addColumn<QByteArray>("besideProgram"); // null: none
    QTest::addColumn<QByteArray>("usersFile");     // null: none, nor the configuration folder
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("written"); // null: every file as it was, and no new one

    const QByteArray none;
    // clang-format off
    QTest::newRow("UTF-16 beside a build folder, its port")   << false << utf16("[Setting]\r\ncomport=COM2\r\n") << none << "COM2" << none;
    QTest::newRow("the user's file in UTF-16, its port")      << true << none << utf16("[Setting]\r\ncomport=COM7\r\n") << "COM7" << none;
    QTest::newRow("beside an installed program, its port")    << true << QByteArray("[Setting]\r\ncomport=COM2\r\n") << none << "COM2" << none;
    QTest::newRow("ERROR written before")                     << false << QByteArray("[Setting]\r\ncomport=ERROR\r\n") << none << "ERROR" << none;
    // "ERROR" is also what a missing value reads as; closing without a pick still stores it.
    QTest::newRow("ERROR where no port is stored yet")        << false << none << none << "ERROR" << QByteArray("[Setting]\r\ncomport=ERROR\r\n");
    QTest::newRow("ERROR beside an installed program without a port") << true << QByteArray("[Ports]\r\nCOM3=/dev/ttyUSB0\r\n") << none << "ERROR" << QByteArray("[Setting]\r\ncomport=ERROR\r\n");
    // clang-format on
}

// Every close stores the port; where the files already give that value nothing is written,
// created or refused, a file in UTF-16 included.
void TestSettingsLocation::unchangedValueWritesNothing()
{
    QFETCH(bool, programReadOnly);
    QFETCH(QByteArray, besideProgram);
    QFETCH(QByteArray, usersFile);
    QFETCH(QString, value);
    QFETCH(QByteArray, written);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString program = root.filePath("program");
    const QString config = root.filePath("home/.config/trv5kb-programmer");
    QVERIFY(QDir().mkpath(program));
    if (!besideProgram.isNull())
        QVERIFY(writeAll(program + "/Setting.ini", besideProgram));
    if (!usersFile.isNull()) {
        QVERIFY(QDir().mkpath(config));
        QVERIFY(writeAll(config + "/Setting.ini", usersFile));
    }
    std::unique_ptr<ReadOnlyFolder> readOnly;
    if (programReadOnly) {
        readOnly = std::make_unique<ReadOnlyFolder>(program);
        if (!readOnly->failure().isEmpty())
            QSKIP(qPrintable(readOnly->failure()));
    }

    const SettingsLocation location = SettingsLocation::find(program, config);
    const Result<> stored = location.store(value, "comport", "Setting");
    QVERIFY2(stored, qPrintable(stored.reason()));
    QCOMPARE(location.value("comport", "Setting"), value);
    if (!written.isNull()) {
        QCOMPARE(readAll(location.file()), written);
        return;
    }
    QCOMPARE(readAll(program + "/Setting.ini"),
             besideProgram.isNull() ? QByteArray("(missing)") : besideProgram);
    if (usersFile.isNull())
        QVERIFY(!QFileInfo::exists(root.filePath("home")));
    else
        QCOMPARE(readAll(config + "/Setting.ini"), usersFile);
}

void TestSettingsLocation::failedStoreSaysWhy_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>(
        "mentions"); // a part of the reason that does not depend on the system's language

    // clang-format off
    QTest::newRow("configuration folder below a plain file") << "blocked" << "COM3" << QDir::toNativeSeparators("home/.config");
    QTest::newRow("read-only configuration folder") << "read-only" << "COM3" << "";
    QTest::newRow("a folder in the file's place") << "folder" << "COM3" << "";
    QTest::newRow("a value without a Shift-JIS form") << "plain" << QString::fromUtf8("COM\U0001F600") << "Shift-JIS";
    // clang-format on
}

// Shutdown tells why the port could not be kept; the reason must say more than that it failed.
void TestSettingsLocation::failedStoreSaysWhy()
{
    QFETCH(QString, setup);
    QFETCH(QString, value);
    QFETCH(QString, mentions);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString config = root.filePath("home/.config/trv5kb-programmer");
    std::unique_ptr<ReadOnlyFolder> readOnly;
    if (setup == "blocked") {
        QVERIFY(QDir().mkpath(root.filePath("home")));
        QVERIFY(writeAll(root.filePath("home/.config"), "not a folder"));
    } else {
        QVERIFY(QDir().mkpath(config));
    }
    if (setup == "folder")
        QVERIFY(QDir().mkpath(config + "/Setting.ini"));
    if (setup == "read-only") {
        readOnly = std::make_unique<ReadOnlyFolder>(config);
        if (!readOnly->failure().isEmpty())
            QSKIP(qPrintable(readOnly->failure()));
    }

    const SettingsLocation location(config + "/Setting.ini");
    const Result<> stored = location.store(value, "comport", "Setting");
    QVERIFY(!stored);
    const QString reason = stored.reason();
    QVERIFY(!reason.isEmpty());
    QVERIFY2(!reason.contains('\n'), qPrintable(reason));
    QVERIFY2(reason.contains(mentions), qPrintable(reason));
    QCOMPARE(QFileInfo(config + "/Setting.ini").isFile(), false);
}

// A file the user may write, beside a program whose folder takes no new file
// (an administrator shared it that way): it is the program's own file, and a
// store rewrites it in place.
void TestSettingsLocation::writableFileInClosedFolder()
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0)
        QSKIP("root writes into any folder of a writable file system, and a read-only mount refuses the file "
              "too");
#endif
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString program = root.filePath("program");
    QVERIFY(QDir().mkpath(program));
    QVERIFY(writeAll(program + "/Setting.ini", "[Setting]\r\ncomport=COM2\r\n"));
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));

    const SettingsLocation location = SettingsLocation::find(program, root.filePath("config"));
    QCOMPARE(location.file(), program + "/Setting.ini");
    QCOMPARE(location.fallbackFile(), QString());
    const Result<> stored = location.store("COM5", "comport", "Setting");
    QVERIFY2(stored, qPrintable(stored.reason()));
    QCOMPARE(readAll(program + "/Setting.ini"), QByteArray("[Setting]\r\ncomport=COM5\r\n"));
    QVERIFY(!QFile::exists(root.filePath("config")));
    QVERIFY(QFile::setPermissions(program, open));
}

// A program folder deleted while the program runs is not made again to hold its settings;
// where no user's folder is known to take them, the store says why it failed.
void TestSettingsLocation::deletedProgramFolderNotMade()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString program = root.filePath("program");
    QVERIFY(QDir().mkpath(program));
    const SettingsLocation location = SettingsLocation::find(program, {});
    QVERIFY(QDir(program).removeRecursively());

    const Result<> stored = location.store("COM5", "comport", "Setting");
    QVERIFY(!stored);
    QCOMPARE(stored.reason(), "フォルダ「" + QDir::toNativeSeparators(program) + "」がありません");
    QVERIFY(!QFileInfo::exists(program));
}

QTEST_GUILESS_MAIN(TestSettingsLocation)
#include "tst_settingslocation.moc"
