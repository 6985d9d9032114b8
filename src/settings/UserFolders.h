#pragma once

#include <QString>

// The user's own folders of the program, named after the application name
// (set before these are asked): neither need exist yet.

// Where the user's "Setting.ini" and list of files last used are kept, where
// the program's folder is not theirs: ~/.config/trv5kb-programmer on Linux
// (or under $XDG_CONFIG_HOME); on Windows the roaming application data,
// %APPDATA%\trv5kb-programmer, which follows the user to other computers of
// the same network, as settings do.
QString userSettingsFolder();

// Where the chart at exit is kept: ~/.local/share/trv5kb-programmer on Linux
// (or under $XDG_DATA_HOME); on Windows the local application data,
// %LOCALAPPDATA%\trv5kb-programmer, as it belongs to this computer.
QString userDataFolder();
