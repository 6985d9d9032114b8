#include "files/PatternFile.h"

#include "ChartText.h"
#include "FailureReason.h"
#include "FileBytes.h"
#include "SmallFileSystem.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

Q_DECLARE_METATYPE(ElementCode)

namespace {

const QByteArray& offLine = OffLine;
const QString slotFile = QStringLiteral("パターン１.txt");
const QByteArray oldBytes = "old pattern\r\n";

// Whether this user can still write where permission bits say no (root can).
bool canStillWrite(const QString& path, QIODevice::OpenMode mode)
{
    QFile probe(path);
    if (!probe.open(mode))
        return false;
    probe.close();
    return true;
}

} // namespace

class TestPatternStorage : public QObject
{
    Q_OBJECT

private slots:
    void saveWritesTheFile();
    void saveAndLoadRoundTrip();
    void saveFailureKeepsOldFile_data();
    void saveFailureKeepsOldFile();
    void saveOnFullDiskKeepsOldFile_data();
    void saveOnFullDiskKeepsOldFile();
    void saveRefusesWhatIsNoFile_data();
    void saveRefusesWhatIsNoFile();
    void saveThroughLinks_data();
    void saveThroughLinks();
    void saveRefusesValuesThatWouldNotReadBack_data();
    void saveRefusesValuesThatWouldNotReadBack();
    void loadFailures_data();
    void loadFailures();
};

void TestPatternStorage::saveWritesTheFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(slotFile);
    QVERIFY(writeFile(path, QByteArray(10000, 'x')));

    const QByteArray expected = offLine.repeated(80) + "80\r\n";
    QCOMPARE(failureReason(savePatternFile(path, startUpChart(), 80)), std::nullopt);
    QCOMPARE(readFile(path), expected);
    QCOMPARE(failureReason(savePatternFile(path, startUpChart(), 80)), std::nullopt);
    QCOMPARE(readFile(path), expected);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{slotFile});
}

void TestPatternStorage::saveAndLoadRoundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(slotFile);

    PatternTable chart;
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            chart.at(step, channel) = ElementCode::ofOrdinal((step * 3 + channel) % 16);
    chart.at(79, 39) = ElementCode::number(3.5);
    chart.at(0, 39) = ElementCode::text("@");
    QCOMPARE(failureReason(savePatternFile(path, chart, 42)), std::nullopt);

    const Result<PatternFileContent> result = loadPatternFile(path);
    QVERIFY2(result.ok(), qPrintable(result.reason()));
    QVERIFY(result->chart == chart);
    QCOMPARE(result->stepCount, qint16(42));
}

void TestPatternStorage::saveFailureKeepsOldFile_data()
{
    QTest::addColumn<QString>("setup");

    for (const char* setup : {"parent is a file", "path is a folder", "read-only folder", "read-only file"})
        QTest::newRow(setup) << QString::fromLatin1(setup);
}

void TestPatternStorage::saveFailureKeepsOldFile()
{
    QFETCH(QString, setup);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath("slot");
    QVERIFY(QDir().mkdir(folder));
    QString path = folder + '/' + slotFile;
    QString oldPath = path;
    const auto restore = qScopeGuard(
        [&] { QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });

    if (setup == "parent is a file") {
        oldPath = folder + "/blocker";
        path = oldPath + '/' + slotFile;
        QVERIFY(writeFile(oldPath, oldBytes));
    } else if (setup == "path is a folder") {
        QVERIFY(QDir().mkdir(path));
        oldPath = path + "/inside.txt";
        QVERIFY(writeFile(oldPath, oldBytes));
    } else if (setup == "read-only folder") {
        QVERIFY(writeFile(path, oldBytes));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        if (canStillWrite(folder + "/probe", QIODevice::WriteOnly))
            QSKIP("permission bits do not stop this user from writing");
    } else {
        QVERIFY(writeFile(path, oldBytes));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        if (canStillWrite(path, QIODevice::Append))
            QSKIP("permission bits do not stop this user from writing");
    }
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    const std::optional<QString> reason = failureReason(savePatternFile(path, startUpChart(), 80));
    QVERIFY(reason.has_value());
    QVERIFY2(reason->startsWith("ファイルに保存できません（") && reason->size() > 16, qPrintable(*reason));
    QCOMPARE(readFile(oldPath), oldBytes);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

// Also where the disk took part of the file: the system then gives no reason of its own.
void TestPatternStorage::saveOnFullDiskKeepsOldFile_data()
{
    QTest::addColumn<int>("bytesLeft");
    QTest::newRow("full") << 0;
    QTest::newRow("4 KB left") << 4096;
}

void TestPatternStorage::saveOnFullDiskKeepsOldFile()
{
    QFETCH(int, bytesLeft);
    SmallFileSystem disk("size=64k");
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.whyNotMounted()));
    const QString path = disk.filePath(slotFile);
    QVERIFY(writeFile(path, oldBytes));
    QVERIFY(disk.fillBlocks());
    const QString filler = disk.filePath("filler");
    QVERIFY(QFile::resize(filler, QFileInfo(filler).size() - bytesLeft));

    const std::optional<QString> reason = failureReason(savePatternFile(path, startUpChart(), 80));
    // Said once, in the user's words, not followed by the system's "No space left on device".
    QCOMPARE(reason, "ファイルに保存できません（ディスクの空きが足りません）。");
    QCOMPARE(readFile(path), oldBytes);
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"filler", slotFile}));
}

// The loader refuses what is no regular file; the writer must not replace it with one.
void TestPatternStorage::saveRefusesWhatIsNoFile_data()
{
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("pipe") << false;
    QTest::newRow("link to a pipe") << true;
}

void TestPatternStorage::saveRefusesWhatIsNoFile()
{
    QFETCH(bool, throughLink);
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pipe = dir.filePath(throughLink ? "pipe" : slotFile);
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    if (throughLink)
        QVERIFY(QFile::link(pipe, dir.filePath(slotFile)));

    const std::optional<QString> reason =
        failureReason(savePatternFile(dir.filePath(slotFile), startUpChart(), 80));
    QCOMPARE(reason, QStringLiteral("ファイルに保存できません（通常のファイルではありません）。"));
    struct stat status = {};
    QCOMPARE(::stat(QFile::encodeName(pipe).constData(), &status), 0);
    QVERIFY(S_ISFIFO(status.st_mode));
    QCOMPARE(QFileInfo(dir.filePath(slotFile)).isSymLink(), throughLink);
#else
    Q_UNUSED(throughLink);
    QSKIP("no named pipes here");
#endif
}

// A link is followed to the file it leads to, which is replaced or made, and
// stays a link; where it leads nowhere a file could be made, nothing changes.
void TestPatternStorage::saveThroughLinks_data()
{
    QTest::addColumn<QStringList>("links"); // "name>target" each, the first is the pattern file
    QTest::addColumn<QString>("writtenTo"); // the file that gets the chart, "" for none
    QTest::addColumn<QString>("error");     // "%1" stands for the folder

    const QString noTarget = "ファイルに保存できません（リンク先をたどれません）。";
    // clang-format off
    QTest::newRow("loop") << QStringList{slotFile + ">loop2", "loop2>" + slotFile} << "" << noTarget;
    QTest::newRow("link to a link loop") << QStringList{slotFile + ">a", "a>b", "b>a"} << "" << noTarget;
    QTest::newRow("link to itself") << QStringList{slotFile + ">" + slotFile} << "" << noTarget;
    QTest::newRow("link to an old file") << QStringList{slotFile + ">sub/old.txt"} << "sub/old.txt" << "";
    QTest::newRow("links to an old file") << QStringList{slotFile + ">a", "a>sub/old.txt"} << "sub/old.txt" << "";
    QTest::newRow("dangling link into an existing folder") << QStringList{slotFile + ">sub/new.txt"} << "sub/new.txt" << "";
    QTest::newRow("dangling link into a missing folder") << QStringList{slotFile + ">missing/new.txt"} << "" << "ファイルに保存できません（リンク先のフォルダ「%1/missing」がありません）。";
    QTest::newRow("dangling link under a file") << QStringList{slotFile + ">sub/old.txt/new.txt"} << "" << "ファイルに保存できません（リンク先の「%1/sub/old.txt」はフォルダではありません）。";
    // clang-format on
}

void TestPatternStorage::saveThroughLinks()
{
#ifdef Q_OS_WIN
    QSKIP(NoSymbolicLinksOnWindows);
#endif
    QFETCH(QStringList, links);
    QFETCH(QString, writtenTo);
    QFETCH(QString, error);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(writeFile(dir.filePath("sub/old.txt"), oldBytes));
    for (const QString& link : links)
        QVERIFY(QFile::link(link.section('>', 1), dir.filePath(link.section('>', 0, 0))));
    const QStringList before =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);

    const std::optional<QString> reason =
        failureReason(savePatternFile(dir.filePath(slotFile), startUpChart(), 80));
    QCOMPARE(reason, error.isEmpty() ? std::optional<QString>() : error.arg(dir.path()));
    for (const QString& link : links)
        QCOMPARE(QFileInfo(dir.filePath(link.section('>', 0, 0))).symLinkTarget(),
                 QFileInfo(dir.filePath(link.section('>', 1))).absoluteFilePath());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), before);
    QCOMPARE(readFile(dir.filePath("sub/old.txt")),
             writtenTo == "sub/old.txt" ? offLine.repeated(80) + "80\r\n" : oldBytes);
    if (writtenTo == "sub/new.txt")
        QCOMPARE(readFile(dir.filePath("sub/new.txt")), offLine.repeated(80) + "80\r\n");
    QCOMPARE(QDir(dir.filePath("sub")).entryList(QDir::Files | QDir::Hidden),
             writtenTo == "sub/new.txt" ? (QStringList{"new.txt", "old.txt"}) : QStringList{"old.txt"});
}

void TestPatternStorage::saveRefusesValuesThatWouldNotReadBack_data()
{
    QTest::addColumn<ElementCode>("value");

    using E = ElementCode;
    QTest::newRow("double quote") << E::text("a\"b");
    QTest::newRow("CR") << E::text("a\rb");
    QTest::newRow("LF") << E::text("\n");
    QTest::newRow("NUL") << E::text(QString(QChar(0)));
    QTest::newRow("non-ASCII") << E::text("é");
    QTest::newRow("Japanese") << E::text("日本");
    QTest::newRow("65 characters") << E::text(QString(65, 'a'));
    QTest::newRow("not a number") << E::number(std::nan(""));
    QTest::newRow("infinity") << E::number(INFINITY);
}

void TestPatternStorage::saveRefusesValuesThatWouldNotReadBack()
{
    QFETCH(ElementCode, value);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(slotFile);
    QVERIFY(writeFile(path, oldBytes));
    PatternTable chart = startUpChart();
    chart.at(1, 2) = value;

    QCOMPARE(
        failureReason(savePatternFile(path, chart, 80)),
        QStringLiteral("ファイルに保存できません（ステップ 2、チャンネル 3 の値はファイルに書けません）。"));
    QCOMPARE(readFile(path), oldBytes);
}

void TestPatternStorage::loadFailures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("error"); // "%1" stands for the missing folder, as messages show it

    const QString tooLarge = "パターンファイルではありません（大きすぎます）。";
    const QString notRegular = "パターンファイルではありません（通常のファイルではありません）。";
    // clang-format off
    QTest::newRow("missing file") << "missing" << "ファイルが見つかりません。";
    QTest::newRow("dangling link") << "dangling link" << "ファイルが見つかりません。";
    QTest::newRow("missing folder") << "missing folder" << "ファイルが見つかりません（フォルダ「%1」がありません）。";
    QTest::newRow("link loop") << "link loop" << "ファイルを読み込めません（リンク先をたどれません）。";
    QTest::newRow("folder") << "folder" << notRegular;
    QTest::newRow("pipe") << "pipe" << notRegular;
    QTest::newRow("unreadable file") << "unreadable" << "";
    QTest::newRow("too few values") << "short" << "ファイルが壊れています（値が足りません）。";
    QTest::newRow("5 MB of random bytes") << "random" << "パターンファイルではありません（1 行目の 1 番目の値に文字でないデータがあります）。";
    QTest::newRow("5 MB line of digits") << "digits" << tooLarge;
    // clang-format on
}

void TestPatternStorage::loadFailures()
{
    QFETCH(QString, setup);
    QFETCH(QString, error);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(slotFile);
#ifdef Q_OS_WIN
    if (setup.contains("link"))
        QSKIP(NoSymbolicLinksOnWindows);
#endif
    if (setup == "folder") {
        QVERIFY(QDir().mkdir(path));
    } else if (setup == "dangling link") {
        QVERIFY(QFile::link("nothing.txt", path));
    } else if (setup == "missing folder") {
        path = dir.filePath("missing/" + slotFile);
    } else if (setup == "link loop") {
        QVERIFY(QFile::link("loop2", path));
        QVERIFY(QFile::link(slotFile, dir.filePath("loop2")));
    } else if (setup == "pipe") {
#ifdef Q_OS_UNIX
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#else
        QSKIP("no named pipes here");
#endif
    } else if (setup == "unreadable") {
        QVERIFY(writeFile(path, offLine.repeated(80) + "80\r\n"));
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        if (canStillWrite(path, QIODevice::ReadOnly))
            QSKIP("permission bits do not stop this user from reading");
    } else if (setup == "short") {
        QVERIFY(writeFile(path, offLine.repeated(80)));
    } else if (setup == "random") {
        QByteArray bytes(5 << 20, Qt::Uninitialized);
        QRandomGenerator generator(7);
        generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        QVERIFY(writeFile(path, bytes));
    } else if (setup == "digits") {
        QVERIFY(writeFile(path, QByteArray(5 << 20, '3')));
    }

    const Result<PatternFileContent> result = loadPatternFile(path);
    QVERIFY(!result.ok());
    if (setup == "unreadable")
        QVERIFY2(result.reason().startsWith("ファイルを読み込めません（"), qPrintable(result.reason()));
    else
        QCOMPARE(result.reason(),
                 error.contains("%1") ? error.arg(QDir::toNativeSeparators(dir.filePath("missing"))) : error);
}

QTEST_GUILESS_MAIN(TestPatternStorage)
#include "tst_patternstorage.moc"
