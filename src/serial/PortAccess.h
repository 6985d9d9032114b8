#pragma once

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

// Why QSerialPort refused `device` with a permission error: its lock file
// (named, with the process that holds it where the file says so, or that the
// process is gone), no folder for a lock file, no right to the device, or
// the device opened exclusively by another program (which cannot be named).
// Nothing when none of these is found. Unix only.
std::optional<QString> portRefusalText(const QString& device);
