#include "serial/PortAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <limits>
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

// The process a lock file names, read from any of the formats serial programs write.
struct LockHolder
{
    qint64 pid = 0;
    QString program; // as the file names it; empty where it does not
};

std::optional<LockHolder> lockHolder(const QByteArray& contents)
{
    // Old programs wrote the process number as the int it is, in the machine's byte order;
    // ASCII lock files hold no NUL.
    if (contents.size() == int(sizeof(qint32)) && contents.contains('\0')) {
        qint32 pid = 0;
        std::memcpy(&pid, contents.constData(), sizeof pid);
        return pid > 0 ? std::optional(LockHolder{pid, {}}) : std::nullopt;
    }
    // "      4242\n", "4242 minicom root\n", or QLockFile's "4242\nprogram\nhost\n".
    const QList<QByteArray> lines = contents.split('\n');
    const QList<QByteArray> words = lines.first().simplified().split(' ');
    bool ok = false;
    const qint64 pid = words.first().toLongLong(&ok);
    // kill() takes 0 and negative numbers for groups of processes, never for one.
    if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return std::nullopt;
    const QByteArray program = words.size() > 1 ? words[1] : lines.value(1).trimmed();
    return LockHolder{pid, QString::fromLocal8Bit(program)};
}

bool processRunning(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// The name the system gives a running process: the program it was started as, or where
// that is hidden, what the file says.
QString processName(qint64 pid, const QString& named)
{
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (commandLine.open(QIODevice::ReadOnly)) {
        const QByteArray program = commandLine.readAll().split('\0').first();
        if (!program.isEmpty())
            return QFileInfo(QFile::decodeName(program)).fileName();
    }
    return named;
}

// The lock files other programs may hold on `device`: under the name given and under the
// device it leads to.
QStringList lockFilesOf(const QString& device)
{
    QStringList names{device};
    if (const QString behind = deviceBehindLinks(device); behind != device)
        names << behind;
    QStringList files;
    for (const QString& name : names)
        files << serialPortLockFile(name);
    return files;
}

enum class StaleLocks { Keep, Remove };

std::optional<QString> lockText(const QString& device, StaleLocks stale)
{
    for (const QString& lockFile : lockFilesOf(device)) {
        if (lockFile.isEmpty())
            return QStringLiteral("ロックファイルを置けるフォルダがありません（/var/lock、/run/lock、/tmp "
                                  "などに書き込めません）");
        QFile file(lockFile);
        if (!file.open(QIODevice::ReadOnly)) {
            if (!file.exists())
                continue;
            return QStringLiteral("ポートは他のプログラムが使用中です（ロックファイル「%1」）").arg(lockFile);
        }
        const std::optional<LockHolder> holder = lockHolder(file.read(256));
        file.close();
        // A program may have made its file and not yet written it; no number is no proof that
        // the port is free.
        if (!holder)
            return QStringLiteral("ポートのロックファイル「%1」にはプロセス番号が読み取れる形で書かれていませ"
                                  "ん。ほかのプログラムがこのポートを使っていなければ、このファイルを削除す"
                                  "ると使えます")
                .arg(lockFile);
        if (processRunning(holder->pid)) {
            const QString program = processName(holder->pid, holder->program);
            return QStringLiteral(
                       "ポートは他のプログラムが使用中です（%1プロセス番号 %2、ロックファイル「%3」）")
                .arg(program.isEmpty() ? QString() : program + QStringLiteral("、"))
                .arg(holder->pid)
                .arg(lockFile);
        }
        // One left by another user, or by root, stays until someone who may removes it.
        if (stale == StaleLocks::Remove && file.remove())
            continue;
        return QStringLiteral("ポートのロックファイル「%1」が残っています（置いたプロセス %2 "
                              "はもう動いていません）。このファイルを削除すると使えます")
            .arg(lockFile)
            .arg(holder->pid);
    }
    return std::nullopt;
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

QString deviceBehindLinks(const QString& device)
{
#ifdef Q_OS_UNIX
    const QString behind = QFileInfo(device).canonicalFilePath();
    if (!behind.isEmpty())
        return behind;
#endif
    return device;
}

std::optional<QString> portLockText([[maybe_unused]] const QString& device)
{
#ifdef Q_OS_UNIX
    return lockText(device, StaleLocks::Keep);
#else
    return std::nullopt;
#endif
}

Result<> clearStalePortLocks([[maybe_unused]] const QString& device)
{
#ifdef Q_OS_UNIX
    if (std::optional<QString> locked = lockText(device, StaleLocks::Remove))
        return Failure{*locked};
#endif
    return {};
}

std::optional<QString> portUseProblem(const QString& device)
{
    if (std::optional<QString> locked = portLockText(device))
        return locked;
    return deviceAccessProblem(device);
}

std::optional<QString> portRefusalText([[maybe_unused]] const QString& device)
{
#ifdef Q_OS_UNIX
    // In QSerialPort's order: the lock before the device.
    if (std::optional<QString> locked = portLockText(device))
        return locked;
    if (std::optional<QString> denied = deviceAccessProblem(device))
        return denied;
    if (openedExclusively(device))
        return QStringLiteral("ポートは他のプログラムが専有しています（ロックファイルがないため、どのプログラ"
                              "ムかは分かりません）");
#endif
    return std::nullopt;
}
