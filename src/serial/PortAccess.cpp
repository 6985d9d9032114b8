#include "serial/PortAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

namespace {

// "rw-rw----" for 0660, as ls shows it.
QString permissionText(uint permissions)
{
    QString text;
    for (int shift = 6; shift >= 0; shift -= 3) {
        text += permissions & (4u << shift) ? QLatin1Char('r') : QLatin1Char('-');
        text += permissions & (2u << shift) ? QLatin1Char('w') : QLatin1Char('-');
        text += permissions & (1u << shift) ? QLatin1Char('x') : QLatin1Char('-');
    }
    return text;
}

#ifdef Q_OS_UNIX

QString userName(uid_t id)
{
    const passwd* entry = ::getpwuid(id);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(id);
}

QString groupName(gid_t id)
{
    const group* entry = ::getgrgid(id);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(id);
}

// The groups the program runs with, which decide access, rather than those the group
// database lists for the user (a group joined since the login is not among them yet).
QStringList processGroups()
{
    std::vector<gid_t> ids(std::size_t(qMax(0, ::getgroups(0, nullptr))));
    ids.resize(std::size_t(qMax(0, ::getgroups(int(ids.size()), ids.data()))));
    ids.push_back(::getegid());
    QStringList names;
    for (const gid_t id : ids) {
        const QString name = groupName(id);
        if (!names.contains(name))
            names << name;
    }
    return names;
}

QStringList groupMembers(gid_t id)
{
    QStringList members;
    if (const group* entry = ::getgrgid(id)) {
        for (char* const* member = entry->gr_mem; member && *member; ++member)
            members << QString::fromLocal8Bit(*member);
    }
    return members;
}

// The process a lock file names: QLockFile's own format (process id, program, host), or
// the older convention of a lock holding the process id as text first.
struct LockHolder
{
    qint64 pid = 0;
    QString program;
};

std::optional<LockHolder> lockHolder(const QString& lockFile)
{
    LockHolder holder;
    QString host;
    if (QLockFile(lockFile).getLockInfo(&holder.pid, &host, &holder.program))
        return holder;
    // Other programs write the number and then more on the same line ("  4242 minicom root").
    QFile file(lockFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> words = file.readLine(64).simplified().split(' ');
    bool ok = false;
    holder.pid = words.first().toLongLong(&ok);
    if (!ok || holder.pid <= 0)
        return std::nullopt;
    holder.program.clear();
    return holder;
}

bool processRunning(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

std::optional<QString> lockText(const QString& device)
{
    const QString lockFile = serialPortLockFile(device);
    if (lockFile.isEmpty())
        return QStringLiteral("ロックファイルを置けるフォルダがありません（/var/lock、/run/lock、/tmp "
                              "などに書き込めません）");
    if (!QFileInfo::exists(lockFile))
        return std::nullopt;
    const std::optional<LockHolder> holder = lockHolder(lockFile);
    if (!holder)
        return QStringLiteral("ポートは他のプログラムが使用中です（ロックファイル「%1」）").arg(lockFile);
    // QSerialPort removes a lock whose process is gone only where it may; one left by another
    // user, or by root, stays until someone removes it.
    if (!processRunning(holder->pid))
        return QStringLiteral("ポートのロックファイル「%1」が残っています（置いたプロセス %2 "
                              "はもう動いていません）。このファイルを削除すると使えます")
            .arg(lockFile)
            .arg(holder->pid);
    const QString program = holder->program.isEmpty() ? QString() : holder->program + QStringLiteral("、");
    return QStringLiteral("ポートは他のプログラムが使用中です（%1プロセス番号 %2、ロックファイル「%3」）")
        .arg(program)
        .arg(holder->pid)
        .arg(lockFile);
}

// A terminal another program opened exclusively (TIOCEXCL, as QSerialPort itself does)
// refuses every further opening but root's with EBUSY. Such a program leaves no lock file
// behind, so it cannot be named.
bool openedExclusively(const QString& device)
{
    const int descriptor =
        ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor >= 0) {
        ::close(descriptor);
        return false;
    }
    return errno == EBUSY;
}

#endif

} // namespace

QString serialPortLockFile(const QString& device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.prepend(QLatin1String("/LCK.."));
    const QStringList folders{QStringLiteral("/var/lock"),
                              QStringLiteral("/etc/locks"),
                              QStringLiteral("/var/spool/locks"),
                              QStringLiteral("/var/spool/uucp"),
                              QStringLiteral("/tmp"),
                              QStringLiteral("/var/tmp"),
                              QStringLiteral("/var/lock/lockdev"),
                              QStringLiteral("/run/lock"),
                              QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    for (const QString& folder : folders) {
        const QFileInfo info(folder);
        const QString file = folder + name;
        if (info.isReadable() && (QFile::exists(file) || info.isWritable()))
            return file;
    }
    return {};
}

QString noAccessText(const DeviceAccess& access)
{
    const bool groupMayUse = (access.permissions & 0060u) == 0060u;
    if (groupMayUse && !access.userGroups.contains(access.group)) {
        if (access.groupMembers.contains(access.user))
            return QStringLiteral("このデバイスを使う権限がありません。グループ %1 "
                                  "に加わったのはこのログインの後なので、ログインし直してください")
                .arg(access.group);
        return QStringLiteral("このデバイスを使う権限がありません（グループ %1 のメンバーだけが使えます）。"
                              "root で「usermod -aG %1 %2」を実行し、ログインし直してください")
            .arg(access.group, access.user);
    }
    return QStringLiteral("このデバイスを使う権限がありません（所有者 %1、グループ %2、アクセス権 %3）。"
                          "管理者に相談してください")
        .arg(access.owner, access.group, permissionText(access.permissions));
}

std::optional<QString> deviceAccessProblem([[maybe_unused]] const QString& device)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(device);
    struct stat status = {};
    if (::access(path.constData(), R_OK | W_OK) == 0 || errno != EACCES ||
        ::stat(path.constData(), &status) != 0)
        return std::nullopt;
    DeviceAccess access;
    access.owner = userName(status.st_uid);
    access.group = groupName(status.st_gid);
    access.permissions = status.st_mode & 0777u;
    access.user = userName(::geteuid());
    access.userGroups = processGroups();
    access.groupMembers = groupMembers(status.st_gid);
    return noAccessText(access);
#else
    return std::nullopt;
#endif
}

std::optional<QString> portRefusalText([[maybe_unused]] const QString& device)
{
#ifdef Q_OS_UNIX
    // In QSerialPort's order: the lock before the device.
    if (std::optional<QString> locked = lockText(device))
        return locked;
    if (std::optional<QString> denied = deviceAccessProblem(device))
        return denied;
    if (openedExclusively(device))
        return QStringLiteral("ポートは他のプログラムが専有しています（ロックファイルがないため、どのプログラ"
                              "ムかは分かりません）");
#endif
    return std::nullopt;
}
