#include "PseudoTerminal.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The bash completion of trv5kb as bash runs it: the script sourced, the words of the command
// line in COMP_WORDS with the cursor on the last one, and what the completion function leaves in
// COMPREPLY, from a folder of pattern files.
class TestCompletion : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void completes_data();
    void completes();

private:
    QTemporaryDir m_dir;
};

namespace {

// The candidates for the last of `words`, one a line.
QStringList completions(const QString& folder, const QStringList& words)
{
    QProcess bash;
    bash.setWorkingDirectory(folder);
    bash.start(QStringLiteral("bash"),
               QStringList{"--norc", "--noprofile", "-c",
                           "source \"$1\" || exit 3; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); "
                           "_trv5kb; printf '%s\\n' \"${COMPREPLY[@]}\"",
                           "bash", TRV_COMPLETION} +
                   words);
    if (!bash.waitForFinished(30000) || bash.exitCode() != 0)
        return {QStringLiteral("(bash failed: %1)").arg(QString::fromLocal8Bit(bash.readAllStandardError()))};
    return QString::fromLocal8Bit(bash.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

void TestCompletion::initTestCase()
{
    if (QStandardPaths::findExecutable("bash").isEmpty())
        QSKIP("no bash here");
    QVERIFY(m_dir.isValid());
    for (const char* name : {"pattern 1.txt", "pattern2.txt", "other.txt"}) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void TestCompletion::completes_data()
{
    QTest::addColumn<QStringList>("words");   // %1: the folder of a pseudo-terminal, such as /dev/pts/
    QTest::addColumn<QStringList>("offered"); // all among the candidates; %1: the pseudo-terminal
    QTest::addColumn<QStringList>("notOffered");
    QTest::addColumn<bool>("exactly"); // nothing but `offered`

    // clang-format off
    QTest::newRow("sub-commands") << QStringList{"trv5kb", ""} << QStringList{"ports", "check", "show", "write", "diff", "pdf", "edit", "--help", "--version"} << QStringList{"--port", "pattern2.txt"} << false;
    QTest::newRow("a sub-command begun") << QStringList{"trv5kb", "d"} << QStringList{"diff"} << QStringList{} << true;
    QTest::newRow("files for check") << QStringList{"trv5kb", "check", "pat"} << QStringList{"pattern 1.txt", "pattern2.txt"} << QStringList{} << true;
    QTest::newRow("a second file for diff") << QStringList{"trv5kb", "diff", "other.txt", "pattern"} << QStringList{"pattern 1.txt", "pattern2.txt"} << QStringList{} << true;
    QTest::newRow("the PDF for pdf") << QStringList{"trv5kb", "pdf", "other.txt", "pattern"} << QStringList{"pattern 1.txt", "pattern2.txt"} << QStringList{} << true;
    QTest::newRow("options of write") << QStringList{"trv5kb", "write", "other.txt", ""} << QStringList{"--port", "--json", "--help"} << QStringList{"--group", "pattern2.txt"} << true;
    QTest::newRow("options of pdf") << QStringList{"trv5kb", "pdf", "other.txt", "out.pdf", "--"} << QStringList{"--force", "--help"} << QStringList{"--json"} << true;
    QTest::newRow("options of show") << QStringList{"trv5kb", "show", "other.txt", "--"} << QStringList{"--group", "--help"} << QStringList{"--port", "--json"} << true;
    QTest::newRow("options after a port") << QStringList{"trv5kb", "write", "other.txt", "--port", "COM3", "--"} << QStringList{"--port", "--json", "--help"} << QStringList{} << true;
    QTest::newRow("a file after a port") << QStringList{"trv5kb", "write", "--port", "COM3", "o"} << QStringList{"other.txt"} << QStringList{} << true;
    QTest::newRow("ports") << QStringList{"trv5kb", "write", "other.txt", "--port", ""} << QStringList{"COM1", "COM3", "COM20"} << QStringList{"COM21", "pattern2.txt"} << false;
    QTest::newRow("ports begun") << QStringList{"trv5kb", "write", "--port", "COM1"} << QStringList{"COM1", "COM10", "COM19"} << QStringList{"COM2", "COM20"} << false;
    QTest::newRow("port after =") << QStringList{"trv5kb", "write", "other.txt", "--port", "=", "COM2"} << QStringList{"COM2", "COM20"} << QStringList{} << true;
    QTest::newRow("a device by its path") << QStringList{"trv5kb", "write", "other.txt", "--port", "%1"} << QStringList{"%1"} << QStringList{"COM1"} << false;
    QTest::newRow("groups") << QStringList{"trv5kb", "show", "other.txt", "--group", ""} << QStringList{"A", "B", "C", "D", "E", "F", "G", "H"} << QStringList{} << true;
    QTest::newRow("the file for edit") << QStringList{"trv5kb", "edit", "pat"} << QStringList{"pattern 1.txt", "pattern2.txt"} << QStringList{} << true;
    QTest::newRow("operations of edit") << QStringList{"trv5kb", "edit", "other.txt", ""} << QStringList{"insert", "delete", "duplicate", "move", "copy-group", "swap-groups", "clear-group"} << QStringList{"other.txt"} << true;
    QTest::newRow("an operation begun") << QStringList{"trv5kb", "edit", "--force", "other.txt", "c"} << QStringList{"copy-group", "clear-group"} << QStringList{} << true;
    QTest::newRow("no step offered") << QStringList{"trv5kb", "edit", "other.txt", "insert", ""} << QStringList{} << QStringList{"other.txt", "--force"} << true;
    QTest::newRow("the side of a move") << QStringList{"trv5kb", "edit", "other.txt", "move", "5", ""} << QStringList{"left", "right"} << QStringList{} << true;
    QTest::newRow("the second group of a copy") << QStringList{"trv5kb", "edit", "other.txt", "copy-group", "A", ""} << QStringList{"A", "B", "C", "D", "E", "F", "G", "H"} << QStringList{} << true;
    QTest::newRow("options of edit") << QStringList{"trv5kb", "edit", "other.txt", "clear-group", "A", "-"} << QStringList{"-o", "--force", "--json", "--help"} << QStringList{} << true;
    QTest::newRow("the output of edit") << QStringList{"trv5kb", "edit", "other.txt", "insert", "3", "-o", "pat"} << QStringList{"pattern 1.txt", "pattern2.txt"} << QStringList{} << true;
    QTest::newRow("edit after an output") << QStringList{"trv5kb", "edit", "-o", "out.txt", "other.txt", "sw"} << QStringList{"swap-groups"} << QStringList{} << true;
    // clang-format on
}

void TestCompletion::completes()
{
    QFETCH(QStringList, words);
    QFETCH(QStringList, offered);
    QFETCH(QStringList, notOffered);
    QFETCH(bool, exactly);

    // A device that is surely there: a pseudo-terminal of this test.
    PseudoTerminal line;
    QVERIFY(line.isValid());
    const QString device = line.device();
    words.replaceInStrings("%1", device.left(device.lastIndexOf('/') + 1));
    offered.replaceInStrings("%1", device);

    const QStringList candidates = completions(m_dir.path(), words);
    const QString shown = candidates.join(" | ");
    for (const QString& candidate : offered)
        QVERIFY2(candidates.contains(candidate), qPrintable(candidate + " not in " + shown));
    for (const QString& candidate : notOffered)
        QVERIFY2(!candidates.contains(candidate), qPrintable(candidate + " in " + shown));
    if (exactly)
        QCOMPARE(candidates.size(), offered.size());
}

QTEST_GUILESS_MAIN(TestCompletion)
#include "tst_completion.moc"
