#include "settings/UserFolders.h"

#include <QStandardPaths>

QString userSettingsFolder()
{
#ifdef Q_OS_WIN
    // Qt's configuration folder on Windows is the local one.
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#else
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
#endif
}

QString userDataFolder()
{
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
#else
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#endif
}
