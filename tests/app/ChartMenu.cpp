#include "ChartMenu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>

void pressKeys(const StartedForm& w, QKeyCombination keys)
{
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : w.form.get(), keys.key(), keys.keyboardModifiers());
}

QMenu* openChartMenu(const StartedForm& w, int index)
{
    // The platform turns a right click into this event on the widget under the pointer.
    QLabel* cell = w.cell(index);
    const QPoint at(8, 8);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, cell->mapToGlobal(at));
    QApplication::sendEvent(cell, &event);
    auto* menu = w.get<QMenu>(QStringLiteral("ChartMenu"));
    return menu && menu->isVisible() ? menu : nullptr;
}

QAction* menuItem(QMenu* menu, const QString& caption)
{
    for (QAction* action : menu->actions())
        if (action->text().startsWith(caption))
            return action;
    return nullptr;
}

bool chooseFromChartMenu(const StartedForm& w, int index, const QString& caption)
{
    QMenu* menu = openChartMenu(w, index);
    QAction* action = menu ? menuItem(menu, caption) : nullptr;
    const bool enabled = action && action->isEnabled();
    if (enabled) {
        const QPoint at = menu->actionGeometry(action).center();
        QTest::mouseMove(menu, at);
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
    }
    closeChartMenu(w);
    return enabled;
}

void closeChartMenu(const StartedForm& w)
{
    if (auto* menu = w.get<QMenu>(QStringLiteral("ChartMenu")))
        menu->close();
    // The offscreen platform makes a popup the active window and leaves it so; on a desktop
    // the window under it never stops being the active one.
    QVERIFY(activate(w));
}

void shiftClickCell(const StartedForm& w, int index)
{
    QTest::mouseClick(w.cell(index), Qt::LeftButton, Qt::ShiftModifier, QPoint(8, 8));
}

bool activate(const StartedForm& w)
{
    w.form->activateWindow();
    return QTest::qWaitFor([&] { return QApplication::activeWindow() == w.form.get(); });
}

QString clipboardText()
{
    return QApplication::clipboard()->text();
}

void setClipboardText(const QString& text)
{
    QApplication::clipboard()->setText(text);
}
