#include "app/Program.h"

#include "app/ControlFactory.h"
#include "app/Form1.h"
#include "app/Layout.h"
#include "settings/UserFolders.h"
#include "translations/QtTranslations.h"

#include <QApplication>

std::unique_ptr<Form1> startWindow(MessageBoxes& boxes)
{
    // The user's configuration folder is named after the program, whatever the executable is called;
    // the desktop entry of the same name gives the window its icon and menu name.
    QApplication::setApplicationName(QStringLiteral("trv5kb-programmer"));
    QApplication::setDesktopFileName(QStringLiteral("trv5kb-programmer"));
    // Lines on standard error begin with the program's name, as a command's do; QT_MESSAGE_PATTERN
    // in the environment still takes precedence.
    qSetMessagePattern(QStringLiteral("%{appname}: %{message}"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    installJapaneseQtTranslations();
    // Every control of the window has its font; the menus, message boxes and tool tips take the
    // same Japanese Gothic rather than the system's Latin face with Japanese glyphs borrowed.
    installFontFallback();
    QApplication::setFont(layoutFont(Layout::DefaultFont));
    auto form = std::make_unique<Form1>(QCoreApplication::applicationDirPath(), userSettingsFolder(),
                                        userDataFolder(), boxes);
    if (!form->Form_Load())
        return nullptr;
    form->show();
    return form;
}
