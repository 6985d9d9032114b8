#include "ByteArguments.h"
#include "ChartText.h"
#include "FileBytes.h"
#include "SmallFileSystem.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// UP, DOWN, ON on A1 of steps 1 to 3, ON-1/2 on H5 of step 2; three steps in use.
QByteArray show()
{
    return patternFile({{0, 0, "0"}, {1, 0, "1"}, {2, 0, "2"}, {1, 39, "\":\""}}, "3");
}

// The same with DOWN on A1 of step 79 and UP on D1 of step 80, all 80 steps in use.
QByteArray showToTheEnd()
{
    return patternFile({{0, 0, "0"}, {1, 0, "1"}, {2, 0, "2"}, {1, 39, "\":\""}, {78, 0, "1"}, {79, 15, "0"}},
                       "80");
}

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

Result finished(QProcess& process)
{
    Result result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

Result run(const QString& folder, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(TRV_CLI, arguments);
    return finished(process);
}

} // namespace

// `trv5kb edit` run as a user runs it, on real files in a temporary folder.
class TestCliEdit : public QObject
{
    Q_OBJECT

private slots:
    void edits_data();
    void edits();
    void refusals_data();
    void refusals();
    void badUsage_data();
    void badUsage();
    void json_data();
    void json();
    void namesInBytes();
    void fullDiskKeepsOldFile();
};

void TestCliEdit::edits_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("arguments"); // after "edit in.txt"
    QTest::addColumn<QByteArray>("expected");   // the file written
    QTest::addColumn<QString>("out");
    // clang-format off
    QTest::newRow("insert two steps") << show() << QStringList{"insert", "2", "2"}
        << patternFile({{0, 0, "0"}, {3, 0, "1"}, {4, 0, "2"}, {3, 39, "\":\""}}, "5")
        << "ステップを挿入：全チャンネル ステップ2～3\nステップ数：3 → 5\n変わったセル：6\n";
    QTest::newRow("insert after the steps in use") << show() << QStringList{"insert", "4"}
        << patternFile({{0, 0, "0"}, {1, 0, "1"}, {2, 0, "2"}, {1, 39, "\":\""}}, "4")
        << "ステップを挿入：全チャンネル ステップ4\nステップ数：3 → 4\n変わったセル：0\n";
    QTest::newRow("delete the first step") << show() << QStringList{"delete", "1"}
        << patternFile({{0, 0, "1"}, {1, 0, "2"}, {0, 39, "\":\""}}, "2")
        << "ステップを削除：全チャンネル ステップ1\nステップ数：3 → 2\n変わったセル：5\n";
    QTest::newRow("delete all 80 steps") << show() << QStringList{"delete", "1", "80"}
        << patternFile({}, "1")
        << "ステップを削除：全チャンネル ステップ1～80\nステップ数：3 → 1\n変わったセル：4\n";
    QTest::newRow("duplicate the last step") << show() << QStringList{"duplicate", "3"}
        << patternFile({{0, 0, "0"}, {1, 0, "1"}, {2, 0, "2"}, {3, 0, "2"}, {1, 39, "\":\""}}, "4")
        << "ステップを複製：全チャンネル ステップ4\nステップ数：3 → 4\n変わったセル：1\n";
    QTest::newRow("move a step left") << show() << QStringList{"move", "3", "left"}
        << patternFile({{0, 0, "0"}, {1, 0, "2"}, {2, 0, "1"}, {2, 39, "\":\""}}, "3")
        << "ステップを左へ：全チャンネル ステップ2\nステップ数：3（そのまま）\n変わったセル：4\n";
    QTest::newRow("move a step right") << show() << QStringList{"move", "1", "right"}
        << patternFile({{0, 0, "1"}, {1, 0, "0"}, {2, 0, "2"}, {0, 39, "\":\""}}, "3")
        << "ステップを右へ：全チャンネル ステップ2\nステップ数：3（そのまま）\n変わったセル：4\n";
    QTest::newRow("copy group A to H, letters in either case") << show() << QStringList{"copy-group", "a", "H"}
        << patternFile({{0, 0, "0"}, {1, 0, "1"}, {2, 0, "2"}, {0, 35, "0"}, {1, 35, "1"}, {2, 35, "2"}}, "3")
        << "グループをコピー：グループAをグループHへ\nステップ数：3（そのまま）\n変わったセル：4\n";
    QTest::newRow("swap groups H and A") << show() << QStringList{"swap-groups", "h", "a"}
        << patternFile({{0, 35, "0"}, {1, 35, "1"}, {2, 35, "2"}, {1, 4, "\":\""}}, "3")
        << "グループを入れ替え：グループHとグループA\nステップ数：3（そのまま）\n変わったセル：8\n";
    QTest::newRow("clear group H") << show() << QStringList{"clear-group", "H"}
        << patternFile({{0, 0, "0"}, {1, 0, "1"}, {2, 0, "2"}}, "3")
        << "グループを消去：グループH\nステップ数：3（そのまま）\n変わったセル：1\n";
    QTest::newRow("insert losing cells, forced") << showToTheEnd() << QStringList{"insert", "79", "2", "--force"}
        << patternFile({{0, 0, "0"}, {1, 0, "1"}, {2, 0, "2"}, {1, 39, "\":\""}}, "80")
        << "ステップを挿入：全チャンネル ステップ79～80\nステップ数：80（そのまま）\n変わったセル：2\n"
           "ステップ80より後ろへ押し出されて失われた OFF でないセル：2\n";
    // clang-format on
}

// Each operation writes the file the window's operation gives, and says what it did. Without -o
// the file itself is replaced; with it, the file read keeps its bytes.
void TestCliEdit::edits()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    QFETCH(QString, out);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("in.txt"), input));

    Result result = run(dir.path(), QStringList{"edit", "in.txt"} + arguments);
    QCOMPARE(result.err, "");
    QCOMPARE(result.out, out);
    QCOMPARE(result.code, 0);
    QCOMPARE(readFile(dir.filePath("in.txt")), expected);

    // The same into another file, also over one that is not a pattern file when forced.
    QVERIFY(writeFile(dir.filePath("in.txt"), input));
    QVERIFY(writeFile(dir.filePath("notes.txt"), "meeting at ten\n"));
    result = run(dir.path(), QStringList{"edit", "in.txt", "-o", "notes.txt", "--force"} + arguments);
    QCOMPARE(result.code, 0);
    QCOMPARE(readFile(dir.filePath("notes.txt")), expected);
    QCOMPARE(readFile(dir.filePath("in.txt")), input);
}

void TestCliEdit::refusals_data()
{
    QTest::addColumn<QStringList>("arguments"); // after "edit"
    QTest::addColumn<QString>("err");
    // clang-format off
    QTest::newRow("insert pushing cells past step 80") << QStringList{"end.txt", "insert", "10", "2"}
        << "「end.txt」：ステップ80より後ろへ押し出されて、OFF でないセルが2個失われます。失ってよければ --force を指定してください。\n";
    QTest::newRow("duplicate pushing a cell past step 80") << QStringList{"end.txt", "duplicate", "78"}
        << "「end.txt」：ステップ80より後ろへ押し出されて、OFF でないセルが1個失われます。失ってよければ --force を指定してください。\n";
    QTest::newRow("duplicate step 80") << QStringList{"end.txt", "duplicate", "80"}
        << "「end.txt」：ステップ80の後ろには複製を置けません。\n";
    QTest::newRow("move past the last step in use") << QStringList{"in.txt", "move", "3", "right"}
        << "「in.txt」：ステップ3より右へは移動できません（ステップ数 3）。\n";
    QTest::newRow("move left of step 1") << QStringList{"in.txt", "move", "1", "left"}
        << "「in.txt」：ステップ1より左へは移動できません。\n";
    QTest::newRow("onto a file that is no pattern file") << QStringList{"in.txt", "insert", "1", "-o", "notes.txt"}
        << "「notes.txt」：パターンファイルではないファイルです。パターンファイルで置き換えるには --force を指定してください。\n";
    QTest::newRow("onto a PDF") << QStringList{"in.txt", "clear-group", "A", "-o", "chart.pdf"}
        << "「chart.pdf」：PDF ファイルです。パターンファイルで置き換えるには --force を指定してください。\n";
    QTest::newRow("onto a folder") << QStringList{"in.txt", "insert", "1", "-o", "folder", "--force"}
        << "「folder」：ファイルに保存できません（通常のファイルではありません）。\n";
    QTest::newRow("no such file") << QStringList{"missing.txt", "insert", "1"}
        << "「missing.txt」：ファイルが見つかりません。\n";
    QTest::newRow("a broken file") << QStringList{"broken.txt", "insert", "1"}
        << "「broken.txt」：ファイルが壊れています（値が足りません）。\n";
    // clang-format on
}

// Exit status 1 and the reason in one line; every file keeps its bytes.
void TestCliEdit::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, err);
    QTemporaryDir dir;
    const QMap<QString, QByteArray> files{{"in.txt", show()},
                                          {"end.txt", showToTheEnd()},
                                          {"notes.txt", "meeting at ten\n"},
                                          {"chart.pdf", "%PDF-1.4\n%old\n"},
                                          {"broken.txt", show().left(100)}};
    for (auto it = files.begin(); it != files.end(); ++it)
        QVERIFY(writeFile(dir.filePath(it.key()), it.value()));
    QVERIFY(QDir(dir.path()).mkdir("folder"));

    const Result result = run(dir.path(), QStringList{"edit"} + arguments);
    QCOMPARE(result.err, err);
    QCOMPARE(result.out, "");
    QCOMPARE(result.code, 1);
    for (auto it = files.begin(); it != files.end(); ++it)
        QCOMPARE(readFile(dir.filePath(it.key())), it.value());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 6);
}

void TestCliEdit::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    // clang-format off
    QTest::newRow("no file") << QStringList{"edit"} << "edit にはパターンファイルを指定してください";
    QTest::newRow("no operation") << QStringList{"edit", "in.txt"} << "edit には操作（insert、delete、duplicate、move、copy-group、swap-groups、clear-group）を指定してください";
    QTest::newRow("an unknown operation") << QStringList{"edit", "in.txt", "shift", "1"} << "「shift」という edit の操作はありません。操作は insert、delete、duplicate、move、copy-group、swap-groups、clear-group のどれかです";
    QTest::newRow("no step") << QStringList{"edit", "in.txt", "insert"} << "edit insert には STEP [COUNT] を指定してください";
    QTest::newRow("step 0") << QStringList{"edit", "in.txt", "delete", "0"} << "ステップ「0」は 1～80 の数ではありません";
    QTest::newRow("step 81") << QStringList{"edit", "in.txt", "insert", "81"} << "ステップ「81」は 1～80 の数ではありません";
    QTest::newRow("a step with a sign") << QStringList{"edit", "in.txt", "insert", "+5"} << "ステップ「+5」は 1～80 の数ではありません";
    QTest::newRow("no steps") << QStringList{"edit", "in.txt", "duplicate", "5", "0"} << "ステップの数「0」は 1 以上の数ではありません";
    QTest::newRow("steps past step 80") << QStringList{"edit", "in.txt", "delete", "79", "3"} << "ステップ79から3ステップはステップ80を超えます";
    QTest::newRow("move without a side") << QStringList{"edit", "in.txt", "move", "5"} << "edit move には STEP left|right を指定してください";
    QTest::newRow("move up") << QStringList{"edit", "in.txt", "move", "5", "up"} << "「up」は move の向きではありません。left か right を指定してください";
    QTest::newRow("group I") << QStringList{"edit", "in.txt", "clear-group", "I"} << "「I」はグループではありません。グループは A～H です";
    QTest::newRow("one group twice") << QStringList{"edit", "in.txt", "swap-groups", "B", "b"} << "swap-groups には二つの違うグループを指定してください";
    QTest::newRow("an extra argument") << QStringList{"edit", "in.txt", "insert", "1", "2", "3"} << "余分な引数「3」があります";
    QTest::newRow("-o without a file") << QStringList{"edit", "in.txt", "insert", "1", "-o"} << "オプション「-o」には値が要ります";
    QTest::newRow("-o for check") << QStringList{"check", "in.txt", "-o", "out.txt"} << "check には --output を指定できません";
    // clang-format on
}

// Exit status 2, one line on what is wrong, and nothing written.
void TestCliEdit::badUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("in.txt"), show()));
    const Result result = run(dir.path(), arguments);
    QCOMPARE(result.err, "trv5kb: " + reason + "（使い方は trv5kb --help）\n");
    QCOMPARE(result.out, "");
    QCOMPARE(result.code, 2);
    QCOMPARE(readFile(dir.filePath("in.txt")), show());
    QVERIFY(!QFile::exists(dir.filePath("out.txt")));
}

void TestCliEdit::json_data()
{
    QTest::addColumn<QStringList>("arguments"); // after "edit"
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("document");
    // clang-format off
    QTest::newRow("written") << QStringList{"in.txt", "duplicate", "2", "2", "-o", "out.txt"} << 0
        << QByteArray(R"({"file": "in.txt", "output": "out.txt", "operation": "duplicate", "text": "ステップを複製",
                          "place": "全チャンネル ステップ4～5", "stepCountBefore": 3, "stepCountAfter": 5,
                          "changedCells": 3, "lostCells": 0, "written": true, "reason": null})");
    QTest::newRow("cells to lose") << QStringList{"end.txt", "insert", "1"} << 1
        << QByteArray(R"({"file": "end.txt", "output": "end.txt", "operation": "insert", "text": "ステップを挿入",
                          "place": "全チャンネル ステップ1", "stepCountBefore": 80, "stepCountAfter": 80,
                          "changedCells": 9, "lostCells": 1, "written": false,
                          "reason": "ステップ80より後ろへ押し出されて、OFF でないセルが1個失われます。失ってよければ --force を指定してください。"})");
    QTest::newRow("refused") << QStringList{"in.txt", "move", "1", "left"} << 1
        << QByteArray(R"({"file": "in.txt", "output": "in.txt", "operation": "move", "text": "ステップを左へ",
                          "place": null, "stepCountBefore": 3, "stepCountAfter": 3,
                          "changedCells": 0, "lostCells": 0, "written": false,
                          "reason": "ステップ1より左へは移動できません。"})");
    // clang-format on
}

// With --json one document on standard output says what the operation does and whether it was
// written; the reason for a refusal still goes to standard error.
void TestCliEdit::json()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QByteArray, document);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("in.txt"), show()));
    QVERIFY(writeFile(dir.filePath("end.txt"), showToTheEnd()));

    const Result result = run(dir.path(), QStringList{"edit"} + arguments + QStringList{"--json"});
    QCOMPARE(result.code, code);
    QVERIFY(result.out.endsWith('\n') && result.out.count('\n') == 1);
    QCOMPARE(QJsonDocument::fromJson(result.out.toUtf8()).object(),
             QJsonDocument::fromJson(document).object());
    QCOMPARE(result.err.isEmpty(), code == 0);
}

// A name saved by a system that writes Shift_JIS opens, is replaced under its own bytes, takes
// the output under another such name, and shows in a reason with its bytes as \xHH.
void TestCliEdit::namesInBytes()
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    const QByteArray name = folder + "sj\x83p\x83^.txt";
    const QByteArray other = folder + "sj\x83^.txt";
    QVERIFY(writeFileByBytes(name, show()));
    const auto runWithBytes = [](const QList<QByteArray>& arguments) {
        QProcess process;
        startWithBytes(process, TRV_CLI, arguments);
        return finished(process);
    };

    Result result = runWithBytes({"edit", name, "delete", "1"});
    QCOMPARE(result.err, "");
    QCOMPARE(result.code, 0);
    const QByteArray deleted = patternFile({{0, 0, "1"}, {1, 0, "2"}, {0, 39, "\":\""}}, "2");
    QCOMPARE(readFileByBytes(name), deleted);

    result = runWithBytes({"edit", name, "insert", "1", "-o", other});
    QCOMPARE(result.code, 0);
    QCOMPARE(readFileByBytes(other), patternFile({{1, 0, "1"}, {2, 0, "2"}, {1, 39, "\":\""}}, "3"));
    QCOMPARE(readFileByBytes(name), deleted);

    result = runWithBytes({"edit", name, "move", "1", "left"});
    QCOMPARE(result.code, 1);
    QCOMPARE(result.err, QString::fromUtf8("「" + folder +
                                           "sj\\x83p\\x83^.txt」：ステップ1より左へは移動できません。\n"));
}

void TestCliEdit::fullDiskKeepsOldFile()
{
    SmallFileSystem disk("size=64k");
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.whyNotMounted()));
    const QString file = disk.filePath("in.txt");
    QVERIFY(writeFile(file, show()));
    QVERIFY(disk.fillBlocks());
    const Result result = run(disk.path(), {"edit", file, "insert", "1"});
    QCOMPARE(result.code, 1);
    QVERIFY2(result.err.startsWith(
                 QStringLiteral("「%1」：ファイルに保存できません（ディスクの空きが足りません").arg(file)),
             qPrintable(result.err));
    QCOMPARE(result.out, "");
    QCOMPARE(readFile(file), show());
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no leftovers
}

QTEST_GUILESS_MAIN(TestCliEdit)
#include "tst_cliedit.moc"
