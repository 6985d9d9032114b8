#include "ChartMenu.h"

#include "app/ChartGrid.h"

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
    // The group tabs are one stop, at the tab of the group shown.
    QWidget* tab = w.get<QWidget>(QStringLiteral("Label%1").arg(w.form->state().CurrentGroup + 1));
    tab->setFocus();
    QCOMPARE(QApplication::focusWidget(), tab);
    pressKeys(w, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.get<QWidget>(QStringLiteral("Picture1")));
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
        if (framed(shot, w.cell(index).geometry())) {
            if (shown)
                return -1; // more than one frame: no cursor draws that
            shown = index;
        }
    return shown;
}

std::optional<QRect> selectionFrameShown(const StartedForm& w)
{
    const QImage shot = w.form->grab().toImage();
    QRect frame;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if ((shot.pixel(x, y) & 0xFFFFFF) == 0xFF4000)
                frame |= QRect(x, y, 1, 1);
    if (frame.isEmpty())
        return std::nullopt;
    return frame;
}

QMenu* openChartMenu(const StartedForm& w, int index)
{
    // The platform turns a right click into this event on the widget under the pointer.
    QWidget* chart = w.chart();
    const QPoint at = w.cell(index).centre();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, chart->mapToGlobal(at));
    QApplication::sendEvent(chart, &event);
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
    w.clickCell(index, Qt::ShiftModifier);
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
