#pragma once

#include "result/Result.h"

#include <QString>
#include <QStringList>
#include <optional>

// Why a serial device cannot be opened, where the system says no more than
// "permission": another program's lock file, a device another program holds
// for itself, or a device the user has no right to. QtSerialLine gives these
// as the reason of a failed opening (the window's status tool tip and
// `trv5kb write`); `trv5kb ports` says the last of each device it lists.

// The lock file QSerialPort takes on Unix before it opens `device` (the path
// it was given): "LCK.." and the device's name without "/dev/", each "/" as
// "_", in the first lock folder that can be read and either holds that file
// already or can be written. Empty where no folder qualifies, which
// QSerialPort refuses as well. Mirrors Qt 6.4's rule, so a refusal can name
// the file a user may have to remove.
QString serialPortLockFile(const QString& device);

// What the system says of a device node and of the user the program runs as.
struct DeviceAccess
{
    QString owner;            // the owning user's name
    QString group;            // the owning group's name
    uint permissions = 0;     // the permission bits of the mode, 0660 for rw-rw----
    QString user;             // the user the program runs as
    QStringList userGroups;   // the groups the program runs with
    QStringList groupMembers; // the members the group database lists for `group`
};

// Why the user may not open the device and what to do about it, in one line:
// join the group that may use it (named as the device has it) and log in
// again, or only log in again when the group database lists them already.
QString noAccessText(const DeviceAccess& access);

// The reason of noAccessText when the user may not read and write `device`;
// nothing when they may, or when it is missing or no device. Unix only.
std::optional<QString> deviceAccessProblem(const QString& device);

// The device a port name leads to: the target of a link (such as
// /dev/serial/by-id/... or a link named in [Ports]), or the name itself.
// Lock files are taken on it, as other programs name the device by its own
// path. The name itself on Windows.
QString deviceBehindLinks(const QString& device);

// Why another program's lock file keeps `device` from being opened, where
// one is found under the name given or under the device it leads to: a lock
// whose process runs (named, with the process's name and number), one whose
// process is gone (a stale lock, which may be removed), one that names no
// process, or no folder for a lock file. A lock counts whatever its age and
// in every format programs write: the process number in ASCII, padded or
// not and followed by other words or not, QLockFile's lines, or a binary
// 4-byte number. Nothing on Windows.
std::optional<QString> portLockText(const QString& device);

// Before `device` is opened: removes the lock files on it whose process is
// gone, where the user may, and fails, saying as portLockText why, where it
// must not be opened. QSerialPort's own check would remove a live lock of
// another format, or one older than its stale time.
Result<> clearStalePortLocks(const QString& device);

// What keeps the user from `device` short of opening it, as `trv5kb ports`
// notes it: a lock file (portLockText), or else no right to the device
// (deviceAccessProblem). Nothing on Windows.
std::optional<QString> portUseProblem(const QString& device);

// Why QSerialPort refused `device` with a permission error: a lock file (as
// portLockText), no right to the device, or the device opened exclusively by
// another program (which cannot be named). Nothing when none of these is
// found. Unix only.
std::optional<QString> portRefusalText(const QString& device);
