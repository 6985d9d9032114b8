#include "serial/PortAccess.h"

#include "FileBytes.h"
#include "PseudoTerminal.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

// Why a port is refused, over a real pseudo-terminal and real lock files; the wording for a
// device the user may not open, from what the system would say of it.
class TestPortAccess : public QObject
{
    Q_OBJECT

private slots:
    void lockFileIsQtsOwn_data();
    void lockFileIsQtsOwn();
    void lockFileNamed_data();
    void lockFileNamed();
    void noAccess_data();
    void noAccess();
};

void TestPortAccess::lockFileIsQtsOwn_data()
{
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("a pseudo-terminal by its path") << false;
    // A link outside /dev keeps its whole path in the name: the same device by another path
    // is locked apart.
    QTest::newRow("a link to it outside /dev") << true;
}

// The file named is the one QSerialPort takes: there while a port holds the device, gone
// once it is closed.
void TestPortAccess::lockFileIsQtsOwn()
{
    QFETCH(bool, throughLink);
    PseudoTerminal line;
    QVERIFY(line.isValid());
    QTemporaryDir dir;
    QString device = line.device();
    QString name = "LCK.." + line.device().mid(QStringLiteral("/dev/").size()).replace('/', '_');
    if (throughLink) {
        device = dir.filePath("adapter");
        QVERIFY(QFile::link(line.device(), device));
        name = "LCK.." + QString(device).replace('/', '_');
    }

    const QString lockFile = serialPortLockFile(device);
    QCOMPARE(QFileInfo(lockFile).fileName(), name);
    QVERIFY(!QFile::exists(lockFile));
    QSerialPort port(device);
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QVERIFY2(QFile::exists(lockFile), qPrintable(lockFile));
    port.close();
    QVERIFY(!QFile::exists(lockFile));
}

void TestPortAccess::lockFileNamed_data()
{
    QTest::addColumn<QByteArray>("lock"); // %1 stands for a process that runs, %2 for one gone
    QTest::addColumn<QString>("reason");  // %1 stands for the lock file, %2 for the process

    const QString inUse = "ポートは他のプログラムが使用中です（%3プロセス番号 %2、ロックファイル「%1」）";
    const QString left = "ポートのロックファイル「%1」が残っています（置いたプロセス %2 "
                         "はもう動いていません）。このファイルを削除すると使えます";
    // clang-format off
    QTest::newRow("another Qt program's")      << QByteArray("%1\ntst_portaccess\nhost\n") << inUse.arg("%1", "%2", "tst_portaccess、");
    QTest::newRow("process id alone")          << QByteArray("      %1\n") << inUse.arg("%1", "%2", "");
    QTest::newRow("process gone")              << QByteArray("      %2\n") << left;
    QTest::newRow("process id, program, user") << QByteArray("  %2 minicom root\n") << left;
    QTest::newRow("nothing readable in it")    << QByteArray("\x01\x02\x03\x04") << "ポートは他のプログラムが使用中です（ロックファイル「%1」）";
    // clang-format on
}

// A lock file another program left on the port is named, with its process where the file
// says which, and whether that process still runs.
void TestPortAccess::lockFileNamed()
{
    QFETCH(QByteArray, lock);
    QFETCH(QString, reason);

    PseudoTerminal line;
    QVERIFY(line.isValid());
    QProcess finished;
    finished.start("true");
    QVERIFY(finished.waitForStarted());
    const qint64 gone = finished.processId();
    QVERIFY(finished.waitForFinished());
    const qint64 running = QCoreApplication::applicationPid();

    const qint64 holder = lock.contains("%1") ? running : gone;
    const QString lockFile = serialPortLockFile(line.device());
    QVERIFY(!lockFile.isEmpty());
    const auto removeLock = qScopeGuard([&] { QFile::remove(lockFile); });
    QVERIFY(writeFile(
        lockFile, lock.replace("%1", QByteArray::number(running)).replace("%2", QByteArray::number(gone))));
    QCOMPARE(portRefusalText(line.device()),
             reason.replace("%1", lockFile).replace("%2", QString::number(holder)));
}

void TestPortAccess::noAccess_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<uint>("permissions");
    QTest::addColumn<QStringList>("userGroups");
    QTest::addColumn<QStringList>("groupMembers");
    QTest::addColumn<QString>("reason");

    const QString join = "このデバイスを使う権限がありません（グループ %1 のメンバーだけが使えます）。"
                         "root で「usermod -aG %1 alice」を実行し、ログインし直してください";
    const QString admin = "このデバイスを使う権限がありません（所有者 root、グループ %1、アクセス権 %2）。"
                          "管理者に相談してください";
    const QStringList alice{"alice", "cdrom", "plugdev"};
    // clang-format off
    QTest::newRow("not in the group that may use it") << "dialout" << 0660u << alice << QStringList{"bob"} << join.arg("dialout");
    QTest::newRow("the group the device names")       << "uucp" << 0660u << alice << QStringList{} << join.arg("uucp");
    QTest::newRow("joined since the login")           << "dialout" << 0660u << alice << QStringList{"bob", "alice"} << "このデバイスを使う権限がありません。グループ dialout に加わったのはこのログインの後なので、ログインし直してください";
    QTest::newRow("only its owner may use it")        << "root" << 0600u << alice << QStringList{} << admin.arg("root", "rw-------");
    QTest::newRow("the group may only read")          << "dialout" << 0640u << alice << QStringList{} << admin.arg("dialout", "rw-r-----");
    QTest::newRow("in the group and still refused")   << "dialout" << 0660u << (QStringList(alice) << "dialout") << QStringList{} << admin.arg("dialout", "rw-rw----");
    // clang-format on
}

void TestPortAccess::noAccess()
{
    QFETCH(QString, group);
    QFETCH(uint, permissions);
    QFETCH(QStringList, userGroups);
    QFETCH(QStringList, groupMembers);
    QFETCH(QString, reason);

    DeviceAccess access;
    access.owner = "root";
    access.group = group;
    access.permissions = permissions;
    access.user = "alice";
    access.userGroups = userGroups;
    access.groupMembers = groupMembers;
    QCOMPARE(noAccessText(access), reason);
}

QTEST_GUILESS_MAIN(TestPortAccess)
#include "tst_portaccess.moc"
