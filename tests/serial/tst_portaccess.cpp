#include "serial/PortAccess.h"

#include "LockingProgram.h"
#include "PseudoTerminal.h"

#include <QFile>
#include <QFileInfo>
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
    // Given a link outside /dev, QSerialPort keeps its whole path in the name and so locks the
    // device apart from its own name; QtSerialLine therefore opens the device behind a link.
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
    QTest::addColumn<QByteArray>("lock"); // %10 and %1: the holder's number (see LockingProgram)
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("reason"); // %1 stands for the lock file, %2 for the process

    // The process is named as the system knows it, whatever the file says.
    const QString inUse = "ポートは他のプログラムが使用中です（cat、プロセス番号 %2、ロックファイル「%1」）";
    const QString left = "ポートのロックファイル「%1」が残っています（置いたプロセス %2 "
                         "はもう動いていません）。このファイルを削除すると使えます";
    const QString noNumber =
        "ポートのロックファイル「%1」にはプロセス番号が読み取れる形で書かれていません。"
        "ほかのプログラムがこのポートを使っていなければ、このファイルを削除すると使えます";
    // clang-format off
    QTest::newRow("QLockFile's lines")              << QByteArray("%1\nminicom\nhost\n") << true << inUse;
    QTest::newRow("ten characters")                 << QByteArray("%10\n") << true << inUse;
    QTest::newRow("number, program and user")       << QByteArray("%10 minicom root\n") << true << inUse;
    QTest::newRow("number without a line end")      << QByteArray("%1") << true << inUse;
    QTest::newRow("binary number")                  << QByteArray("(binary)") << true << inUse;
    QTest::newRow("ten characters, process gone")   << QByteArray("%10\n") << false << left;
    QTest::newRow("program and user, process gone") << QByteArray("%10 minicom root\n") << false << left;
    QTest::newRow("binary number, process gone")    << QByteArray("(binary)") << false << left;
    QTest::newRow("four bytes of no number")        << QByteArray("\x01\x02\x03\x04") << true << noNumber;
    QTest::newRow("empty")                          << QByteArray("") << true << noNumber;
    // Numbers kill() would take for every process of a group, or for all of them.
    QTest::newRow("process number 0")               << QByteArray("         0\n") << true << noNumber;
    QTest::newRow("process number -1")              << QByteArray("        -1\n") << true << noNumber;
    // clang-format on
}

// A lock file another program left on the port is named, with its process where the file
// says which, and whether that process still runs.
void TestPortAccess::lockFileNamed()
{
    QFETCH(QByteArray, lock);
    QFETCH(bool, running);
    QFETCH(QString, reason);

    PseudoTerminal line;
    QVERIFY(line.isValid());
    LockingProgram other;
    QVERIFY(other.isRunning());
    const QString lockFile = serialPortLockFile(line.device());
    QVERIFY(!lockFile.isEmpty());
    QVERIFY(other.lock(lockFile, lock));
    if (!running)
        other.end();
    QCOMPARE(portRefusalText(line.device()).value_or("(none)"),
             reason.replace("%1", lockFile).replace("%2", QString::number(other.pid())));
    QCOMPARE(portLockText(line.device()).value_or("(none)"), reason);
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
