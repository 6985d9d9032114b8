#include "FormFixture.h"
#include "ReadOnlyFolder.h"

#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
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
    void manualPages_data();
    void manualPages();
    void manualPagesFollowHelp_data();
    void manualPagesFollowHelp();
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
// Each manual page under share/man: English in man1, what man shows by default (in the POSIX
// locale too), Japanese in ja/man1 for a Japanese locale; the simulator's is English only.
const QStringList ManualPages{"man1/trv5kb-programmer", "man1/trv5kb", "man1/trv5kb-simulator",
                              "ja/man1/trv5kb-programmer", "ja/man1/trv5kb"};

// Every file of an install, relative to its prefix; nothing else belongs there (no tests, no
// build tools, no libraries).
QStringList expectedFiles()
{
    QStringList files{"bin/trv5kb-programmer",
                      "bin/trv5kb-simulator",
                      "bin/trv5kb",
                      "lib/trv5kb-programmer/trv5kb-programmer",
                      "lib/trv5kb-programmer/trv5kb",
                      "share/applications/trv5kb-programmer.desktop",
                      "share/bash-completion/completions/trv5kb",
                      "share/doc/trv5kb-programmer/changelog.Debian.gz",
                      "share/doc/trv5kb-programmer/copyright",
                      "share/trv5kb-programmer/examples/chase.txt"};
    // Each picture also at twice the size, for screens that scale: UP@2x.jpg beside UP.jpg.
    for (const QString& picture : Pictures)
        files << "lib/trv5kb-programmer/" + picture
              << "lib/trv5kb-programmer/" + picture.section('.', 0, 0) + "@2x." + picture.section('.', 1);
    for (int size : IconSizes)
        files << QStringLiteral("share/icons/hicolor/%1x%1/apps/trv5kb-programmer.png").arg(size);
    for (const QString& page : ManualPages)
        files << "share/man/" + page + ".1.gz";
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
Output run(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Output output;
    output.finished = process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit;
    output.code = process.exitCode();
    output.standardOutput = process.readAllStandardOutput();
    output.standardError = process.readAllStandardError();
    return output;
}

// Empty when `bytes` are gzip data as Debian wants them (gzip -9n): deflated at the best
// compression, with no file name, comment or time stamp in the header; otherwise what is wrong.
QString notDebianGzip(const QByteArray& bytes)
{
    if (bytes.size() < 18 || !bytes.startsWith("\x1f\x8b\x08"))
        return QStringLiteral("not gzip data");
    if (bytes[3] != 0)
        return QStringLiteral("the header carries a name, a comment or extra fields (flags %1)")
            .arg(int(bytes[3]));
    if (bytes.mid(4, 4) != QByteArray(4, 0))
        return QStringLiteral("the header carries a time stamp");
    if (bytes[8] != 2)
        return QStringLiteral("not compressed at the best level (-9)");
    return {};
}

// How lintian reads manual pages: in UTF-8 on an 80-column terminal.
QProcessEnvironment manualEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", "C.UTF-8");
    environment.insert("MANWIDTH", "80");
    environment.remove("MANPATH");
    environment.remove("MANOPT");
    return environment;
}

// The first column of each row of a --help table ("  write FILE --port PORT   what it does"),
// with the angle brackets QCommandLineParser puts around values dropped.
QStringList helpRows(const QString& help)
{
    QStringList rows;
    static const QRegularExpression row(QStringLiteral("^  (\\S.*?)(?:\\s{2,}|$)"));
    for (const QString& line : help.split('\n')) {
        const QRegularExpressionMatch match = row.match(line);
        if (match.hasMatch())
            rows << match.captured(1).remove('<').remove('>');
    }
    return rows;
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

    // The example pattern file is one the command-line writer reads and could send.
    const Output example =
        run(m_prefix + "/bin/trv5kb", {"check", m_prefix + "/share/trv5kb-programmer/examples/chase.txt"});
    QVERIFY2(example.finished && example.code == 0, example.standardError.constData());
    QVERIFY2(example.standardOutput.startsWith("ステップ数：16"), example.standardOutput.constData());
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
    // The menu starts the launcher on the PATH and shows the icon of the theme; a file dropped on
    // the launcher is passed to the program, which opens it.
    QCOMPARE(entry.value("Exec"), "trv5kb-programmer %f");
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
        // The chart's first cell, where the window paints it.
        QCOMPARE(form.grab(QRect(56, 96, 16, 16)).toImage().convertToFormat(QImage::Format_RGB32),
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

void TestInstall::manualPages_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("language"); // "" for English
    QTest::addColumn<QString>("nameHeading");
    // clang-format off
    QTest::newRow("trv5kb-programmer")          << "trv5kb-programmer" << ""   << "NAME";
    QTest::newRow("trv5kb")                     << "trv5kb"            << ""   << "NAME";
    QTest::newRow("trv5kb-simulator")           << "trv5kb-simulator"  << ""   << "NAME";
    QTest::newRow("trv5kb-programmer, Japanese") << "trv5kb-programmer" << "ja" << "名前";
    QTest::newRow("trv5kb, Japanese")           << "trv5kb"            << "ja" << "名前";
    // clang-format on
}

void TestInstall::manualPages()
{
    QFETCH(QString, page);
    QFETCH(QString, language);
    QFETCH(QString, nameHeading);
    const QString folder = language.isEmpty() ? "/share/man/man1/" : "/share/man/" + language + "/man1/";
    const QString installed = m_prefix + folder + page + ".1.gz";
    const QString compression = notDebianGzip(readFile(installed));
    QVERIFY2(compression.isEmpty(), qPrintable(compression));

    const QString man = QStandardPaths::findExecutable("man");
    if (man.isEmpty())
        QSKIP("man is not installed (package man-db): the manual pages were not rendered");
    // `man NAME` finds the page once the prefix is on the manual path, as /usr is: the English
    // one by default, the Japanese one for a Japanese locale.
    // (man looks into the folders of a locale on MANPATH, not on -M's.)
    QStringList find{"-w", page};
    if (!language.isEmpty())
        find.prepend("-L" + language);
    QProcessEnvironment onManualPath = manualEnvironment();
    onManualPath.insert("MANPATH", m_prefix + "/share/man");
    const Output found = run(man, find, onManualPath);
    QVERIFY2(found.finished && found.code == 0, found.standardError.constData());
    QCOMPARE(QString::fromLocal8Bit(found.standardOutput).trimmed(), installed);

    // Rendered with every warning groff has: besides errors in the source, these catch a line
    // it could not break, which would run past the terminal's edge. The English page also in
    // the POSIX locale, man's default, where anything beyond ASCII would be lost.
    if (language.isEmpty()) {
        QProcessEnvironment posix = manualEnvironment();
        posix.insert("LC_ALL", "C");
        const Output plain = run(man, {"--warnings=w", "-l", installed}, posix);
        QVERIFY2(plain.finished && plain.code == 0, plain.standardError.constData());
        QCOMPARE(plain.standardError, QByteArray());
        QVERIFY(QString::fromLatin1(plain.standardOutput).toUtf8() == plain.standardOutput);
    }
    const Output shown = run(man, {"--warnings=w", "-E", "UTF-8", "-l", installed}, manualEnvironment());
    QVERIFY2(shown.finished && shown.code == 0, shown.standardError.constData());
    QCOMPARE(shown.standardError, QByteArray());
    const QString text = QString::fromUtf8(shown.standardOutput);
    QVERIFY2(text.contains(QStringLiteral("\n%1\n       %2 - ").arg(nameHeading, page)), qPrintable(text));
    // The footer names the version the programs report.
    const Output version = run(m_prefix + "/bin/trv5kb", {"--version"});
    const QString versionNumber = QString::fromUtf8(version.standardOutput).trimmed().section(' ', 1);
    QVERIFY(!versionNumber.isEmpty());
    QVERIFY2(text.trimmed().split('\n').last().startsWith("trv5kb-programmer " + versionNumber + " "),
             qPrintable(text.trimmed().split('\n').last()));
}

// Every sub-command and option that --help lists has its entry in the manual page, with the
// same arguments; the test-only options --help leaves out stay out of both.
void TestInstall::manualPagesFollowHelp_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("folder"); // of the page, under share/man
    QTest::addColumn<QStringList>("expectedRows");
    const QStringList writer{"ports",
                             "check FILE",
                             "show FILE [--group A-H]",
                             "write FILE --port PORT",
                             "diff FILE1 FILE2",
                             "pdf FILE OUT.pdf",
                             "edit FILE OPERATION [-o OUT]",
                             "-h, --help",
                             "--version",
                             "--group A-H",
                             "--port PORT",
                             "-o, --output OUT",
                             "--json",
                             "--force"};
    const QStringList window{"-h, --help", "-v, --version", "FILE"};
    // clang-format off
    QTest::newRow("trv5kb") << "trv5kb" << "man1" << writer;
    QTest::newRow("trv5kb, Japanese") << "trv5kb" << "ja/man1" << writer;
    QTest::newRow("trv5kb-programmer") << "trv5kb-programmer" << "man1" << window;
    QTest::newRow("trv5kb-programmer, Japanese") << "trv5kb-programmer" << "ja/man1" << window;
    QTest::newRow("trv5kb-simulator") << "trv5kb-simulator" << "man1" << QStringList{
        "-h, --help", "--help-all", "-o, --output file", "--once", "--silent-after n", "--hangup-after n",
        "--joined-replies", "--garbage", "--paced", "--latency ms", "--trace"};
    // clang-format on
}

void TestInstall::manualPagesFollowHelp()
{
    QFETCH(QString, page);
    QFETCH(QString, folder);
    QFETCH(QStringList, expectedRows);
    const QString man = QStandardPaths::findExecutable("man");
    if (man.isEmpty())
        QSKIP("man is not installed (package man-db): the manual pages were not rendered");

    const Output help = run(m_prefix + "/bin/" + page, {"--help"});
    QVERIFY(help.finished && help.code == 0);
    const QStringList rows = helpRows(QString::fromUtf8(help.standardOutput));
    // The table is read as intended: these rows at least are found. Rows added to --help later are
    // checked below all the same, without being named here.
    for (const QString& row : expectedRows)
        QVERIFY2(rows.contains(row), qPrintable(rows.join(" | ")));

    const Output shown =
        run(man, {"-E", "UTF-8", "-l", m_prefix + "/share/man/" + folder + "/" + page + ".1.gz"},
            manualEnvironment());
    QVERIFY(shown.finished && shown.code == 0);
    QStringList lines;
    for (const QString& line : QString::fromUtf8(shown.standardOutput).split('\n'))
        lines << line.trimmed();
    // A heading or a tag: a line of its own, or one the tag's text follows after a space.
    for (const QString& row : rows) {
        const bool documented = std::any_of(lines.cbegin(), lines.cend(), [&](const QString& line) {
            return line == row || line.startsWith(row + ' ');
        });
        QVERIFY2(documented,
                 qPrintable(QStringLiteral("「%1」 is in --help but not in %2(1)").arg(row, page)));
    }
    QVERIFY(!lines.join('\n').contains("timeout-ms"));
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
    // bash-completion loads the completion of trv5kb, which does nothing without it.
    QVERIFY2(field("Recommends").split(", ").contains("bash-completion"), qPrintable(field("Recommends")));
    // The font the window's texts need, and the libraries the binaries link, as worked out from them.
    for (const char* needed : {"fonts-ipafont-gothic", "libqt6core6", "libqt6gui6", "libqt6widgets6",
                               "libqt6printsupport6", "libqt6serialport6", "libc6", "libstdc++6"})
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

    // The synopsis is English words: Debian shows it in lists and reads it as words between spaces.
    const QString synopsis = field("Description").section('\n', 0, 0);
    QVERIFY2(synopsis.split(' ').size() >= 4 && synopsis.toLatin1() == synopsis.toUtf8(),
             qPrintable(synopsis));

    QTemporaryDir unpacked;
    QVERIFY(unpacked.isValid());
    const Output extract = run(dpkgDeb, {"-x", deb, unpacked.path()});
    QVERIFY2(extract.finished && extract.code == 0, extract.standardError.constData());
    const QString doc = unpacked.filePath("usr/share/doc/trv5kb-programmer/");

    // The copyright file in Debian's machine-readable format, made from LICENSE: its copyright
    // line, and the licence text with each line indented by one space and " ." for an empty one.
    const QByteArray license = readFile(TRV_SOURCE_DIR "/LICENSE");
    const QList<QByteArray> licenseParts = license.split('\n');
    QCOMPARE(licenseParts.value(0), "MIT License");
    QVERIFY(licenseParts.value(2).startsWith("Copyright (c) "));
    const QByteArray copyright = readFile(doc + "copyright");
    QVERIFY(
        copyright.startsWith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
    QVERIFY2(
        copyright.contains("\nFiles: *\nCopyright: " + licenseParts.value(2).mid(14) + "\nLicense: Expat\n"),
        copyright.constData());
    QVERIFY2(copyright.contains("LGPL"), copyright.constData());
    const QByteArray licenseParagraph = "\n\nLicense: Expat\n";
    const qsizetype textStart = copyright.indexOf(licenseParagraph);
    QVERIFY(textStart > 0);
    QByteArray text;
    for (const QByteArray& line : copyright.mid(textStart + licenseParagraph.size()).split('\n')) {
        if (line.isEmpty())
            continue;
        QVERIFY2(line.startsWith(' '), line.constData());
        text += (line == " ." ? QByteArray() : line.mid(1)) + '\n';
    }
    QCOMPARE(text, licenseParts.mid(4).join('\n').trimmed() + '\n');

    // The changelog is Debian's (the package has a revision of its own after the version),
    // signed by the maintainer the package names.
    const QString changelog = doc + "changelog.Debian.gz";
    const QString changelogCompression = notDebianGzip(readFile(changelog));
    QVERIFY2(changelogCompression.isEmpty(), qPrintable(changelogCompression));
    const Output changes = run("gzip", {"-dc", changelog});
    QVERIFY(changes.finished && changes.code == 0);
    const QStringList entry = QString::fromUtf8(changes.standardOutput).split('\n');
    const Output version = run(m_prefix + "/bin/trv5kb", {"--version"});
    const QString upstreamVersion = QString::fromUtf8(version.standardOutput).trimmed().section(' ', 1);
    QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(upstreamVersion) + "-[0-9]+$")
                 .match(field("Version"))
                 .hasMatch(),
             qPrintable(field("Version")));
    QCOMPARE(entry.first(), "trv5kb-programmer (" + field("Version") + ") unstable; urgency=medium");
    const QString signature = entry.value(entry.size() - 2);
    QVERIFY2(signature.startsWith(" -- " + field("Maintainer") + "  "), qPrintable(signature));

    // The manual pages are the installed ones.
    for (const QString& page : ManualPages) {
        const QString packaged = unpacked.filePath("usr/share/man/" + page + ".1.gz");
        QCOMPARE(readFile(packaged), readFile(m_prefix + "/share/man/" + page + ".1.gz"));
    }

    // Debian's own checks: no error, and the hardening flags found in the programs (those
    // findings are only informational, so they are asked for). Warnings are shown; the README
    // names the ones that stay, and why.
    const QString lintian = QStandardPaths::findExecutable("lintian");
    if (lintian.isEmpty())
        QSKIP("lintian is not installed (tools/install-deps.sh installs it): the package was not checked "
              "against Debian's rules");
    const Output report = run(lintian, {"--display-info", deb});
    QVERIFY2(report.finished, report.standardError.constData());
    QStringList errors;
    QStringList hardening;
    QStringList unfortified;
    for (const QString& line : QString::fromUtf8(report.standardOutput).split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith("E: "))
            errors << line;
        else if (line.contains(": hardening-no-fortify-functions "))
            unfortified << line;
        else if (line.contains(": hardening-"))
            hardening << line;
        else if (line.startsWith("W: "))
            qInfo("%s", qPrintable(line));
    }
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    QVERIFY2(hardening.isEmpty(), qPrintable(hardening.join('\n')));
    // The compiler calls glibc's checked functions only where a size is not known until the
    // program runs, so a program whose calls all have sizes known when compiled (or none the
    // compiler can follow) calls none. Some program must, or the flag is missing.
    QVERIFY2(unfortified.size() < 3, qPrintable(unfortified.join('\n')));
}

void TestInstall::cleanupTestCase()
{
    m_readOnly.reset();
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
