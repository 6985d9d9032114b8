#include "FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Runs one fuzz target over every file of its checked-in corpus. A broken
// promise aborts with its name and the input on standard error.
class TestFuzzCorpus : public QObject
{
    Q_OBJECT

private slots:
    void input_data();
    void input();
};

void TestFuzzCorpus::input_data()
{
    QTest::addColumn<QString>("path");
    const QDir corpus(QStringLiteral(TRV_FUZZ_CORPUS));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    QVERIFY2(!names.isEmpty(), qPrintable(corpus.path() + " holds no inputs"));
    for (const QString& name : names)
        QTest::newRow(qPrintable(name)) << corpus.filePath(name);
}

void TestFuzzCorpus::input()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QByteArray name = QFile::encodeName(path);
    replayedInput = name.constData();
    QCOMPARE(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                    std::size_t(bytes.size())),
             0);
    replayedInput = nullptr;
}

QTEST_GUILESS_MAIN(TestFuzzCorpus)
#include "tst_fuzzcorpus.moc"
