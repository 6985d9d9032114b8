#include <QTest>

class TestWine : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_GUILESS_MAIN(TestWine)
#include "tst_wine.moc"
