#include "FormFixture.h"
#include "ReadOnlyFolder.h"

#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <optional>
#include <unistd.h>

// The program as users get it: `cmake --install` into a prefix whose program
// folder nobody may write, the installed program started from there, and the
// Debian package that CPack makes from the same install rules.
class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFiles();
    void desktopEntry();
    void installedProgramKeepsPortForUser();
    void failedStoreSaysWhy();
    void commandLineWriterUsesWindowSettings();
    void package();
    void cleanupTestCase();

private:
    struct Finished
    {
        QProcess::ExitStatus status = QProcess::CrashExit;
        int code = -1;
        QByteArray standardError;
    };
    // Starts the installed program from its own folder, waits until its window is up, asks it
    // to close as the session's end does, and waits for it to finish.
    std::optional<Finished> runInstalled(const QString& configHome);
    static QString howItEnded(const std::optional<Finished>& finished);
    QString programFolder() const { return m_prefix + "/lib/trv5kb-programmer"; }

    QTemporaryDir m_root;
    QString m_prefix;
    std::unique_ptr<ReadOnlyFolder> m_readOnly;
};

namespace {

const QStringList Pictures{"UP.jpg",     "DOWN.jpg",   "ON.jpg",     "OFF.jpg",    "UPLM.jpg",  "UPMH.jpg",
                           "DOWNHM.jpg", "DOWNML.jpg", "ONOFF.jpg",  "OFFON.jpg",  "ONHF.jpg",  "ONQT.jpg",
                           "UPQL.jpg",   "UPQH.jpg",   "DOWNQH.jpg", "DOWNQL.jpg", "step1.jpg", "step2.jpg"};
const QList<int> IconSizes{16, 22, 24, 32, 48, 64, 128, 256};

// Every file of an install, relative to its prefix; nothing else belongs there (no tests, no
// build tools, no libraries).
QStringList expectedFiles()
{
    QStringList files{"bin/trv5kb-programmer",
                      "bin/trv5kb-simulator",
                      "bin/trv5kb",
                      "lib/trv5kb-programmer/trv5kb-programmer",
                      "lib/trv5kb-programmer/trv5kb",
                      "share/applications/trv5kb-programmer.desktop"};
    for (const QString& picture : Pictures)
        files << "lib/trv5kb-programmer/" + picture;
    for (int size : IconSizes)
        files << QStringLiteral("share/icons/hicolor/%1x%1/apps/trv5kb-programmer.png").arg(size);
    files.sort();
    return files;
}

struct Output
{
    bool finished = false;
    int code = -1;
    QByteArray standardOutput;
    QByteArray standardError;
};

// A tool run to its end. The limit only bounds a hang: cpack brings the whole build up to date
// before it packs, which took over 2 minutes on a loaded machine.
Output run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    Output output;
    output.finished = process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit;
    output.code = process.exitCode();
    output.standardOutput = process.readAllStandardOutput();
    output.standardError = process.readAllStandardError();
    return output;
}

// Whether process `pid` has a handler for SIGTERM, from the mask of caught signals the kernel
// shows for it.
bool catchesTermination(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    }
    return false;
}

} // namespace

void TestInstall::initTestCase()
{
    QVERIFY(m_root.isValid());
    m_prefix = m_root.filePath("prefix");
    const Output install = run(TRV_CMAKE, {"--install", TRV_BUILD_DIR, "--prefix", m_prefix});
    QVERIFY2(install.finished && install.code == 0, install.standardError.constData());
    // Installed for every user: the program's folder refuses writes, root's too.
    m_readOnly = std::make_unique<ReadOnlyFolder>(m_prefix);
}

void TestInstall::installedFiles()
{
    QStringList files;
    QDirIterator it(m_prefix, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(m_prefix).relativeFilePath(it.next());
    files.sort();
    QCOMPARE(files, expectedFiles());

    // The launcher is a relative link, so the installed tree may move, and the program's
    // folder holds everything the window loads.
    char target[256] = {};
    const QByteArray link = QFile::encodeName(m_prefix + "/bin/trv5kb-programmer");
    QVERIFY(::readlink(link.constData(), target, sizeof target - 1) > 0);
    QCOMPARE(QByteArray(target), "../lib/trv5kb-programmer/trv5kb-programmer");
    QVERIFY(QFileInfo(m_prefix + "/bin/trv5kb-programmer").isExecutable());
    QVERIFY(QFileInfo(m_prefix + "/bin/trv5kb-simulator").isExecutable());
}

void TestInstall::desktopEntry()
{
    const QString path = m_prefix + "/share/applications/trv5kb-programmer.desktop";
    const QList<QByteArray> lines = readFile(path).split('\n');
    QCOMPARE(lines.first(), "[Desktop Entry]");
    QHash<QString, QString> entry;
    for (const QByteArray& line : lines.sliced(1)) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            entry.insert(QString::fromUtf8(line.first(equals)), QString::fromUtf8(line.sliced(equals + 1)));
    }
    QCOMPARE(entry.value("Type"), "Application");
    QCOMPARE(entry.value("Name"), "TRV5KB Programmer");
    QCOMPARE(entry.value("Terminal"), "false");
    QVERIFY(entry.value("Comment[ja]").contains("調光パターン"));
    QVERIFY(!entry.value("Categories").isEmpty());
    // The menu starts the launcher on the PATH and shows the icon of the theme.
    QCOMPARE(entry.value("Exec"), "trv5kb-programmer");
    QCOMPARE(entry.value("Icon"), "trv5kb-programmer");

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed (package desktop-file-utils)");
    const Output validation = run(validator, {path});
    QVERIFY2(validation.finished && validation.code == 0,
             (validation.standardOutput + validation.standardError).constData());
    QCOMPARE(validation.standardOutput + validation.standardError, QByteArray());
}

std::optional<TestInstall::Finished> TestInstall::runInstalled(const QString& configHome)
{
    QTemporaryDir runtime; // Qt wants a private runtime folder and says so on standard error otherwise
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", configHome);
    environment.insert("XDG_DATA_HOME", m_root.filePath("home/.local/share"));
    environment.insert("XDG_RUNTIME_DIR", runtime.path());

    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(programFolder());
    program.start(m_prefix + "/bin/trv5kb-programmer", {});
    if (!program.waitForStarted())
        return std::nullopt;
    // The program takes SIGTERM as a request to close once its window is up, after start-up has
    // loaded the pictures and read the port; a signal before that would simply end it.
    if (!waitFor([&] { return catchesTermination(program.processId()); }, HangLimitMs)) {
        program.kill();
        program.waitForFinished();
        qWarning() << "the installed program did not come up:" << program.readAllStandardError();
        return std::nullopt;
    }
    ::kill(pid_t(program.processId()), SIGTERM);
    if (!program.waitForFinished(HangLimitMs))
        return std::nullopt;
    return Finished{program.exitStatus(), program.exitCode(), program.readAllStandardError()};
}

// Empty when the program came up and closed the regular way: exit code 0 and nothing to say on
// standard error; otherwise what went wrong.
QString TestInstall::howItEnded(const std::optional<Finished>& finished)
{
    if (!finished)
        return QStringLiteral("the program did not come up or did not end");
    if (finished->status != QProcess::NormalExit || finished->code != 0 || !finished->standardError.isEmpty())
        return QStringLiteral("ended with %1, exit code %2, standard error: %3")
            .arg(finished->status == QProcess::NormalExit ? "a normal exit" : "a crash")
            .arg(finished->code)
            .arg(QString::fromLocal8Bit(finished->standardError));
    return {};
}

void TestInstall::installedProgramKeepsPortForUser()
{
    if (!m_readOnly->failure().isEmpty())
        QSKIP(qPrintable(m_readOnly->failure()));
    const QString configHome = m_root.filePath("home/.config");
    const QString usersFile = configHome + "/trv5kb-programmer/Setting.ini";

    // First start: nothing stored yet. Closing stores what the port box shows, in the user's
    // configuration folder, which the program creates.
    const QString first = howItEnded(runInstalled(configHome));
    QVERIFY2(first.isEmpty(), qPrintable(first));
    QCOMPARE(readFile(usersFile), QByteArray("[Setting]\r\ncomport=ERROR\r\n"));
    QVERIFY(!QFile::exists(programFolder() + "/Setting.ini"));

    // The user picks COM3 in the window and closes it: the window's own code over the
    // installed folder, with the pictures found there.
    {
        ScriptedMessageBoxes boxes;
        Form1 form(programFolder(), configHome + "/trv5kb-programmer",
                   m_root.filePath("home/.local/share/trv5kb-programmer"), boxes);
        QVERIFY(form.Form_Load());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QImage off(programFolder() + "/OFF.jpg");
        QVERIFY(!off.isNull());
        QCOMPARE(
            form.findChild<QLabel*>("Picture1(0)")->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
            off.convertToFormat(QImage::Format_RGB32));
        auto* box = form.findChild<QComboBox*>("Comportbox");
        QCOMPARE(box->currentText(), "ERROR");
        chooseComboItem(box, "COM3");
        QVERIFY(form.close());
        QVERIFY(boxes.shown.isEmpty());
    }
    QCOMPARE(readFile(usersFile), QByteArray("[Setting]\r\ncomport=COM3\r\n"));

    // The next start reads COM3 back from there: shutdown stores what the box showed, so any
    // other reading (the missing file beside the program, or nothing) would have put "ERROR"
    // into the file, and a store that failed would have said so on standard error.
    const QString second = howItEnded(runInstalled(configHome));
    QVERIFY2(second.isEmpty(), qPrintable(second));
    QCOMPARE(readFile(usersFile), QByteArray("[Setting]\r\ncomport=COM3\r\n"));
    QVERIFY(!QFile::exists(programFolder() + "/Setting.ini"));
}

void TestInstall::failedStoreSaysWhy()
{
    if (!m_readOnly->failure().isEmpty())
        QSKIP(qPrintable(m_readOnly->failure()));
    // A plain file where the configuration folder should be: nothing can be stored anywhere.
    writeFile(m_root.filePath("blocked"), "not a folder");
    const QString configHome = m_root.filePath("blocked/.config");

    std::optional<Finished> finished = runInstalled(configHome);
    QVERIFY(finished);
    // The window closes all the same; one line names the file and the reason.
    QCOMPARE(finished->status, QProcess::NormalExit);
    QCOMPARE(finished->code, 0);
    const QString line = QString::fromLocal8Bit(finished->standardError);
    QCOMPARE(line.count('\n'), 1);
    QVERIFY2(line.endsWith('\n'), qPrintable(line));
    QVERIFY2(line.startsWith("trv5kb-programmer: "), qPrintable(line));
    const QString file = configHome + "/trv5kb-programmer/Setting.ini";
    QVERIFY2(line.contains(file), qPrintable(line));
    // The reason follows the file; the system's own words for it depend on the language.
    QVERIFY2(!line.section(file, 1).section(": ", 1).trimmed().isEmpty(), qPrintable(line));
}

// The command-line writer is installed as the window is, so through its link it finds the
// window's folder and reads the same settings: the user's file, then the one beside the window.
void TestInstall::commandLineWriterUsesWindowSettings()
{
    char target[256] = {};
    const QByteArray link = QFile::encodeName(m_prefix + "/bin/trv5kb");
    QVERIFY(::readlink(link.constData(), target, sizeof target - 1) > 0);
    QCOMPARE(QByteArray(target), "../lib/trv5kb-programmer/trv5kb");
    if (!m_readOnly->failure().isEmpty())
        QSKIP(qPrintable(m_readOnly->failure()));

    const QString configHome = m_root.filePath("cli-home/.config");
    QVERIFY(QDir().mkpath(configHome + "/trv5kb-programmer"));
    writeFile(configHome + "/trv5kb-programmer/Setting.ini",
              "[Setting]\r\ncomport=COM3\r\n[Ports]\r\nCOM3=/dev/ttyUSB9\r\n");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", configHome);
    program.setProcessEnvironment(environment);
    program.start(m_prefix + "/bin/trv5kb", {"ports"});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 0);
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    QVERIFY2(
        out.contains(QStringLiteral("（設定ファイル %1/trv5kb-programmer/Setting.ini、次に %2/Setting.ini）")
                         .arg(configHome, programFolder())),
        qPrintable(out));
    QVERIFY2(out.contains("  COM3 → /dev/ttyUSB9（接続されていません）\n"), qPrintable(out));
    QVERIFY2(out.contains("ウィンドウで選ばれているポート：COM3 — COM3 → /dev/ttyUSB9"), qPrintable(out));
}

void TestInstall::package()
{
    const QString dpkgDeb = QStandardPaths::findExecutable("dpkg-deb");
    if (dpkgDeb.isEmpty())
        QSKIP("dpkg-deb is not installed: no Debian package on this system");
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const Output cpack =
        run(TRV_CPACK, {"-G", "DEB", "-B", out.path(), "--config", TRV_BUILD_DIR "/CPackConfig.cmake"});
    QVERIFY2(cpack.finished && cpack.code == 0, (cpack.standardOutput + cpack.standardError).constData());
    const QStringList debs = QDir(out.path()).entryList({"*.deb"}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    const QString deb = out.filePath(debs.first());

    auto field = [&](const char* name) {
        const Output output = run(dpkgDeb, {"-f", deb, QString::fromLatin1(name)});
        return QString::fromUtf8(output.standardOutput).trimmed();
    };
    QCOMPARE(field("Package"), "trv5kb-programmer");
    QCOMPARE(debs.first(),
             QStringLiteral("trv5kb-programmer_%1_%2.deb").arg(field("Version"), field("Architecture")));
    QStringList depends;
    for (const QString& dependency : field("Depends").split(", "))
        depends << dependency.section(' ', 0, 0);
    // The font the window's texts need, and the libraries the binaries link, as worked out from them.
    for (const char* needed : {"fonts-ipafont-gothic", "libqt6core6", "libqt6gui6", "libqt6widgets6",
                               "libqt6serialport6", "libc6", "libstdc++6"})
        QVERIFY2(depends.contains(QString::fromLatin1(needed)), qPrintable(depends.join(", ")));

    // The same files as the install, under /usr; the launcher still a relative link.
    const Output contents = run(dpkgDeb, {"-c", deb});
    QVERIFY(contents.finished && contents.code == 0);
    QStringList files;
    QStringList links;
    for (const QString& line : QString::fromUtf8(contents.standardOutput).split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith('d'))
            continue;
        const QString entry = line.section(' ', 5, -1, QString::SectionSkipEmpty);
        files << entry.section(" -> ", 0, 0);
        if (line.startsWith('l'))
            links << entry;
    }
    files.sort();
    QStringList expected;
    for (const QString& file : expectedFiles())
        expected << "./usr/" + file;
    QCOMPARE(files, expected);
    links.sort();
    QCOMPARE(links,
             QStringList({"./usr/bin/trv5kb -> ../lib/trv5kb-programmer/trv5kb",
                          "./usr/bin/trv5kb-programmer -> ../lib/trv5kb-programmer/trv5kb-programmer"}));
}

void TestInstall::cleanupTestCase()
{
    m_readOnly.reset();
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
