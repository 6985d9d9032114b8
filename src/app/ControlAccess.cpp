#include "app/ControlAccess.h"

#include "chart/ElementTable.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QList>
#include <QWidget>

namespace {

struct Naming
{
    const char* control;
    const char* name;            // nullptr: the caption it shows
    const char* description;     // nullptr: none, or its tool tip
    const char* label = nullptr; // the caption beside a box, which labels it
};

// clang-format off
const QString TabDescription = QStringLiteral("グループ%1のチャネル1～5をチャートに表示します（Space キー、Enter キー）。");

const Naming Namings[] = {
    {"ChartGrid", "調光パターン・チャート",
     "矢印キーでセルを移り、Space キーでクリックと同じく設定します。Shift キーと矢印キーで範囲を選択します。"
     "Home キーと End キーで最初と最後のステップへ、Page Up キーと Page Down キーでページを、"
     "Ctrl キーと Page Up キー、Page Down キー、1～8 キーでグループを切り替えます。"},
    {"Command6", nullptr, "ページ１（ステップ1～40）を表示します。"},
    {"Command7", nullptr, "ページ２（ステップ41～80）を表示します。"},
    {"Combo2", "一括設定のCH", "一括設定するチャネル（表示中のグループの CH1～CH5）", "Label24"},
    {"Combo3", "一括設定のステップ範囲の始め", nullptr, "Label25"},
    {"Combo4", "一括設定のステップ範囲の終わり", nullptr, "Label26"},
    {"Combo1", "ステップ数", "パターンで使うステップの数", "Label9"},
    {"Command1", nullptr, "チャートをコントローラーに書き込みます。"},
    {"Command2", "パターン１ 保存", "チャートをファイル「パターン１.txt」に保存します。"},
    {"Command3", "パターン１ 呼出", "ファイル「パターン１.txt」のチャートを呼び出します。"},
    {"Command4", "パターン２ 保存", "チャートをファイル「パターン２.txt」に保存します。"},
    {"Command5", "パターン２ 呼出", "ファイル「パターン２.txt」のチャートを呼び出します。"},
    {"Comportbox", "COMポートの選択", nullptr, "Label10"},
};
// clang-format on

const char* const GroupTabs[] = {"Label1", "Label2", "Label3", "Label4",
                                 "Label5", "Label6", "Label7", "Label8"};

// The controls Tab reaches between the group tabs and the palettes, and after the palettes.
const char* const BeforePalettes[] = {"ChartGrid", "Command6", "Command7", "Option1", "Option2", "Option3"};
const char* const AfterPalettes[] = {"Combo2",   "Combo3",   "Combo4",   "Combo1",   "Command1",
                                     "Command2", "Command3", "Command4", "Command5", "Comportbox"};

// Roles the controls' classes do not give: the group tabs are labels that act as tabs, and
// the status caption tells its results as notifications, which screen readers speak as they
// show, where they let a label's new name pass unspoken (Orca does).
QAccessible::Role roleOf(const QString& control)
{
    if (control == QLatin1String("disp1"))
        return QAccessible::Notification;
    for (const char* tab : GroupTabs)
        if (control == QLatin1String(tab))
            return QAccessible::PageTab;
    return QAccessible::NoRole;
}

QAccessibleInterface* controlInterface(const QString&, QObject* object)
{
    const QAccessible::Role role = roleOf(object->objectName());
    if (!object->isWidgetType() || role == QAccessible::NoRole)
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), role);
}

template <typename T = QWidget> T* child(QWidget* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    Q_ASSERT_X(found, "ControlAccess", name);
    return found;
}

} // namespace

void applyTabOrder(QWidget* window)
{
    QList<const char*> order;
    for (const char* name : GroupTabs)
        order << name;
    for (const char* name : BeforePalettes)
        order << name;
    // Each palette in the order of the element table, which is the order its buttons are read in.
    for (const ElementRow& row : ElementTable)
        order << row.samePatternButton;
    for (const ElementRow& row : ElementTable)
        order << row.batchButton;
    for (const char* name : AfterPalettes)
        order << name;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(child(window, order[i - 1]), child(window, order[i]));
}

void nameControls(QWidget* window)
{
    QAccessible::installFactory(controlInterface);
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (roleOf(control->objectName()) == QAccessible::NoRole)
            continue;
        // One made before the factory was there would go on describing a plain label.
        QAccessible::deleteAccessibleInterface(
            QAccessible::uniqueId(QAccessible::queryAccessibleInterface(control)));
    }
    for (int group = 0; group < int(std::size(GroupTabs)); ++group) {
        auto* tab = child<QLabel>(window, GroupTabs[group]);
        // A tab takes no name from its text as a label does.
        tab->setAccessibleName(tab->text());
        tab->setAccessibleDescription(TabDescription.arg(QChar(u'A' + group)));
    }
    for (const Naming& naming : Namings) {
        QWidget* control = child(window, naming.control);
        if (naming.name)
            control->setAccessibleName(QString::fromUtf8(naming.name));
        if (naming.description)
            control->setAccessibleDescription(QString::fromUtf8(naming.description));
        // Qt on Linux names a combo box by the value it shows and takes what the box is from
        // the label it is labelled by: its buddy, named as the box is.
        if (naming.label) {
            auto* label = child<QLabel>(window, naming.label);
            label->setBuddy(control);
            label->setAccessibleName(QString::fromUtf8(naming.name));
        }
    }
    for (const ElementRow& row : ElementTable) {
        child(window, row.samePatternButton)
            ->setAccessibleDescription(QStringLiteral("同一パターン設定でセルに置く要素にします。"));
        child(window, row.batchButton)
            ->setAccessibleDescription(QStringLiteral("一括設定の範囲をこの要素で埋めます。"));
    }
}

void nameStatus(QLabel* caption, const QString& text)
{
    const QString name = text.isEmpty() ? QStringLiteral("結果") : QStringLiteral("結果: ") + text;
    if (caption->accessibleName() == name)
        return;
    caption->setAccessibleName(name);
    if (!text.isEmpty()) {
        QAccessibleEvent shown(caption, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    }
}

void namePreview(QLabel* preview, const QString& elementCaption)
{
    const QString name = QStringLiteral("パターンの指定: ") + elementCaption;
    if (preview->accessibleName() != name)
        preview->setAccessibleName(name);
}
