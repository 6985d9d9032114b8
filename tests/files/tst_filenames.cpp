#include "files/FileName.h"
#include "files/FileReplace.h"
#include "files/PatternFile.h"

#include "ByteArguments.h"
#include "ChartText.h"
#include "FailureReason.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The names in a folder, sorted, as the system lists them (Qt's listing leaves out names that are
// no text).
QList<QByteArray> namesIn(const QByteArray& folder)
{
    QList<QByteArray> names;
    if (DIR* listing = ::opendir(folder.constData())) {
        while (const dirent* entry = ::readdir(listing))
            if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
                names << QByteArray(entry->d_name);
        ::closedir(listing);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// "パ" in Shift_JIS is 83 70: a name written by a system that saves names so.
const QByteArray ShiftJisName = "sj\x83p\x83^.txt";

} // namespace

// Names in bytes that are no text (Shift_JIS names on a UTF-8 system): kept byte for byte,
// shown with those bytes made visible, and read and written as the file they name.
class TestFileNames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keptByteForByte_data();
    void keptByteForByte();
    void readAndWrittenByBytes_data();
    void readAndWrittenByBytes();
    void missingOrTooLong_data();
    void missingOrTooLong();

private:
    QByteArray place(const QByteArray& name) const { return QFile::encodeName(m_dir.path()) + '/' + name; }

    QTemporaryDir m_dir;
};

void TestFileNames::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestFileNames::keptByteForByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");

    // clang-format off
    QTest::newRow("plain") << QByteArray("パターン１.txt") << "パターン１.txt";
    QTest::newRow("Shift_JIS") << ShiftJisName << "sj\\x83p\\x83^.txt";
    QTest::newRow("Latin-1") << QByteArray("caf\xe9.txt") << "caf\\xE9.txt";
    QTest::newRow("UTF-8 cut short") << QByteArray("\xe3\x83.txt") << "\\xE3\\x83.txt";
    QTest::newRow("surrogate in UTF-8") << QByteArray("\xed\xb2\x83") << "\\xED\\xB2\\x83";
    QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf" "b") << "a\\xC0\\xAFb";
    QTest::newRow("text, then a stray byte") << QByteArray("パ\x83") << "パ\\x83";
    // clang-format on
}

void TestFileNames::keptByteForByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const QString name = fileNameFromSystem(bytes);
    QCOMPARE(systemFileName(name), bytes);
    QCOMPARE(shownFileName(name), shown);
    QCOMPARE(keepsForeignBytes(name), shown.contains("\\x"));
    const char* argv[] = {"trv5kb", bytes.constData()};
    QCOMPARE(systemArguments(2, argv).value(1), name);
}

void TestFileNames::readAndWrittenByBytes_data()
{
    QTest::addColumn<QByteArray>("folder"); // made under the test's folder, "" for none
    QTest::addColumn<QByteArray>("name");   // the name given, within the folder
    QTest::addColumn<QByteArray>("target"); // what it stands for: the same, or a link's target

    // clang-format off
    QTest::newRow("Shift_JIS name") << QByteArray() << ShiftJisName << ShiftJisName;
    QTest::newRow("in a Shift_JIS folder") << QByteArray("\x83p") << QByteArray("plain.txt") << QByteArray("plain.txt");
    QTest::newRow("both") << QByteArray("\x83^") << ShiftJisName << ShiftJisName;
    QTest::newRow("link to such a file") << QByteArray() << QByteArray("link-\x83.txt") << ShiftJisName;
    // clang-format on
}

// The file is found and read by its bytes, and a save replaces that file (through a link: its
// target), with the old file's rights, never a file under a name with U+FFFD in it.
void TestFileNames::readAndWrittenByBytes()
{
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, target);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray base = QFile::encodeName(dir.path());
    if (!folder.isEmpty()) {
        base += '/' + folder;
        QVERIFY(::mkdir(base.constData(), 0755) == 0);
    }
    const QByteArray file = base + '/' + target;
    QVERIFY(writeFileByBytes(file, patternFile({{0, 0, "0"}}, "12")));
    QVERIFY(::chmod(file.constData(), 0640) == 0);
    if (name != target)
        QVERIFY(::symlink(target.constData(), (base + '/' + name).constData()) == 0);

    const QString given = fileNameFromSystem(base + '/' + name);
    const Result<PatternFileContent> loaded = loadPatternFile(given);
    QVERIFY2(loaded.ok(), qPrintable(loaded.reason()));
    QCOMPARE(loaded->stepCount, 12);

    PatternTable chart = loaded->chart;
    chart.at(1, 1) = ElementCode::number(1);
    const std::optional<QString> failure = failureReason(savePatternFile(given, chart, 34));
    QVERIFY2(!failure, qPrintable(failure.value_or(QString())));
    QCOMPARE(readFileByBytes(file), formatPatternFile(chart, 34));
    struct stat status;
    QVERIFY(::lstat(file.constData(), &status) == 0);
    QCOMPARE(status.st_mode & 07777, 0640u);
    if (name != target) {
        QVERIFY(::lstat((base + '/' + name).constData(), &status) == 0);
        QVERIFY(S_ISLNK(status.st_mode));
    }
    // Nothing else was made beside it: no stand-in left, no name with U+FFFD.
    QList<QByteArray> expected{target};
    if (name != target)
        expected << name;
    std::sort(expected.begin(), expected.end());
    QCOMPARE(namesIn(base), expected);
}

void TestFileNames::missingOrTooLong_data()
{
    QTest::addColumn<QByteArray>("name"); // under the test's folder
    QTest::addColumn<QString>("loadError");
    QTest::addColumn<QString>("saveError"); // %1: the test's folder

    const QByteArray tooLong(300, 'a');
    // clang-format off
    QTest::newRow("Shift_JIS name, no such file") << QByteArray("gone-\x83.txt") << "ファイルが見つかりません。" << "";
    QTest::newRow("in a Shift_JIS folder that is missing") << QByteArray("\x83p/a.txt") << "ファイルが見つかりません（フォルダ「%1/\\x83p」がありません）。" << "ファイルに保存できません（フォルダ「%1/\\x83p」がありません）。";
    QTest::newRow("a name over the system's limit") << tooLong << "ファイル名が長すぎます。" << "ファイルに保存できません（ファイル名が長すぎます）。";
    QTest::newRow("such a name in bytes") << tooLong + "\x83" << "ファイル名が長すぎます。" << "ファイルに保存できません（ファイル名が長すぎます）。";
    QTest::newRow("a path over the system's limit") << (QByteArray(200, 'b') + '/').repeated(25) + "a.txt" << "ファイル名が長すぎます。" << "ファイルに保存できません（ファイル名が長すぎます）。";
    // clang-format on
}

// Said as it is, in the user's words: not "not found" for a name too long, and never the
// system's English.
void TestFileNames::missingOrTooLong()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, loadError);
    QFETCH(QString, saveError);
    const QString given = fileNameFromSystem(place(name));
    QCOMPARE(loadPatternFile(given).reason(), loadError.replace("%1", m_dir.path()));
    if (saveError.isEmpty())
        return;
    const std::optional<QString> failure = failureReason(savePatternFile(given, PatternTable(), 80));
    QCOMPARE(failure.value_or(QString()), saveError.replace("%1", m_dir.path()));
}

QTEST_GUILESS_MAIN(TestFileNames)
#include "tst_filenames.moc"
