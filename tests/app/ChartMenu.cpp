#include "ChartMenu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QTest>

void pressKeys(const StartedForm& w, QKeyCombination keys)
{
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : w.form.get(), keys.key(), keys.keyboardModifiers());
}

void pressKeys(const StartedForm& w, const QString& keys)
{
    for (const QString& key : keys.split(QChar(' '), Qt::SkipEmptyParts)) {
        const QKeySequence sequence = QKeySequence::fromString(key, QKeySequence::PortableText);
        QVERIFY2(sequence.count() == 1 && sequence[0].key() != Qt::Key_unknown, qPrintable(key));
        pressKeys(w, sequence[0]);
    }
}

void pressMenuKey()
{
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus);
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), focus->mapToGlobal(QPoint()));
    QApplication::sendEvent(focus, &event);
}

void tabIntoChart(const StartedForm& w)
{
    QWidget* lastTab = w.get<QWidget>(QStringLiteral("Label8"));
    lastTab->setFocus();
    QCOMPARE(QApplication::focusWidget(), lastTab);
    pressKeys(w, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.get<QWidget>(QStringLiteral("ChartGrid")));
}

namespace {

// The keyboard's cursor is a frame of black and white dashes in the two pixels
// around the cell: the rows just above and below the cell hold nothing else.
bool framed(const QImage& shot, const QRect& cell)
{
    bool black = false, white = false;
    for (int y : {cell.top() - 1, cell.bottom() + 1})
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QRgb pixel = shot.pixel(x, y) & 0xFFFFFF;
            if (pixel == 0)
                black = true;
            else if (pixel == 0xFFFFFF)
                white = true;
            else
                return false;
        }
    return black && white;
}

} // namespace

std::optional<int> cursorShownAt(const StartedForm& w)
{
    const QImage shot = w.form->grab().toImage();
    std::optional<int> shown;
    for (int index = 0; index < 200; ++index)
        if (framed(shot, w.cell(index)->geometry())) {
            if (shown)
                return -1; // more than one frame: no cursor draws that
            shown = index;
        }
    return shown;
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
