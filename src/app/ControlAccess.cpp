#include "app/ControlAccess.h"

#include "app/ChartGrid.h"
#include "app/Controls.h"
#include "app/FormControls.h"
#include "chart/ElementTable.h"
#include "state/WindowState.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QRadioButton>
#include <QWindow>
#include <functional>

namespace {

// clang-format off
const QString TabDescription = QStringLiteral("グループ%1のチャネル1～5をチャートに表示します（Space キー、Enter キー）。"
                                              "左右の矢印キーでほかのグループに移ります。");

struct Naming
{
    std::function<QWidget*(const FormControls&)> control;
    const char* name;            // nullptr: the caption it shows
    const char* description;     // nullptr: none, or its tool tip
    std::function<QLabel*(const FormControls&)> label = {}; // the caption beside a box, which labels it
};

const QString ChartName = QStringLiteral("調光パターン・チャート");
const QString ChartDescription = QStringLiteral(
    "矢印キーでセルを移り、Space キーでクリックと同じく設定します。Shift キーと矢印キーで範囲を選択します。"
    "Home キーと End キーで最初と最後のステップへ、Page Up キーと Page Down キーでページを、"
    "Ctrl キーと Page Up キー、Page Down キー、1～8 キーでグループを切り替えます。");

const Naming Namings[] = {
    {[](const FormControls& c) { return c.previousPage; }, nullptr, "ページ１（ステップ1～40）を表示します。"},
    {[](const FormControls& c) { return c.nextPage; }, nullptr, "ページ２（ステップ41～80）を表示します。"},
    {[](const FormControls& c) { return c.batchChannel; }, "一括設定のCH", "一括設定するチャネル（表示中のグループの CH1～CH5）", [](const FormControls& c) { return c.batchChannelCaption; }},
    {[](const FormControls& c) { return c.batchFromStep; }, "一括設定のステップ範囲の始め", nullptr, [](const FormControls& c) { return c.batchRangeCaption; }},
    {[](const FormControls& c) { return c.batchToStep; }, "一括設定のステップ範囲の終わり", nullptr, [](const FormControls& c) { return c.batchRangeToCaption; }},
    {[](const FormControls& c) { return c.stepCount; }, "ステップ数", "パターンで使うステップの数", [](const FormControls& c) { return c.stepCountCaption; }},
    {[](const FormControls& c) { return c.write; }, nullptr, "チャートをコントローラーに書き込みます。"},
    {[](const FormControls& c) { return c.statusCaption; }, nullptr, nullptr},
    {[](const FormControls& c) { return c.saveSlot[0]; }, "パターン１ 保存", "チャートをファイル「パターン１.txt」に保存します。"},
    {[](const FormControls& c) { return c.loadSlot[0]; }, "パターン１ 呼出", "ファイル「パターン１.txt」のチャートを呼び出します。"},
    {[](const FormControls& c) { return c.saveSlot[1]; }, "パターン２ 保存", "チャートをファイル「パターン２.txt」に保存します。"},
    {[](const FormControls& c) { return c.loadSlot[1]; }, "パターン２ 呼出", "ファイル「パターン２.txt」のチャートを呼び出します。"},
    {[](const FormControls& c) { return c.port; }, "COMポートの選択", nullptr, [](const FormControls& c) { return c.portCaption; }},
};
// clang-format on

// A group of controls that screen readers see together, under the container
// where they stand: the group tabs as a tab list, each palette as a group of
// buttons. The controls keep the widget parents the layout gave them.
struct ControlGroup
{
    QString name;
    QAccessible::Role role;
    QPointer<QWidget> container;
    QList<QPointer<QWidget>> members;
    QAccessible::Role memberRole;
    // Whether member i is selected (a tab) or checked (a button), if members have such a state.
    std::function<bool(int)> selected;
    std::function<bool(int)> checked;
    mutable QAccessible::Id id = 0;
};

QList<ControlGroup>& groups()
{
    static QList<ControlGroup> registered;
    return registered;
}

const ControlGroup* groupOfMember(const QObject* object, int* index = nullptr)
{
    for (const ControlGroup& group : groups())
        for (int i = 0; i < group.members.size(); ++i)
            if (group.members[i] == object) {
                if (index)
                    *index = i;
                return &group;
            }
    return nullptr;
}

QAccessibleInterface* groupInterface(const ControlGroup& group);

// The group itself, which is no widget.
class GroupAccessible : public QAccessibleInterface
{
public:
    explicit GroupAccessible(const ControlGroup* group) : m_container(group->container), m_name(group->name)
    {
    }

    bool isValid() const override { return !m_container.isNull() && group(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_container ? m_container->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_container);
    }
    int childCount() const override { return group() ? int(group()->members.size()) : 0; }
    QAccessibleInterface* child(int index) const override
    {
        const ControlGroup* g = group();
        return g && index >= 0 && index < g->members.size()
                   ? QAccessible::queryAccessibleInterface(g->members[index])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const ControlGroup* g = group();
        for (int i = 0; g && child && i < g->members.size(); ++i)
            if (g->members[i] == child->object())
                return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i)
            if (QAccessibleInterface* member = child(i); member && member->rect().contains(x, y))
                return member;
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        for (int i = 0; i < childCount(); ++i)
            if (QAccessibleInterface* member = child(i); member && member->state().focused)
                return member;
        return nullptr;
    }
    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? m_name : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        QRect area;
        for (int i = 0; i < childCount(); ++i)
            if (QAccessibleInterface* member = child(i))
                area |= member->rect();
        return area;
    }
    QAccessible::Role role() const override { return group() ? group()->role : QAccessible::Grouping; }
    QAccessible::State state() const override { return {}; }

private:
    const ControlGroup* group() const
    {
        for (const ControlGroup& g : groups())
            if (g.container == m_container && g.name == m_name)
                return &g;
        return nullptr;
    }

    QPointer<QWidget> m_container;
    QString m_name;
};

QAccessibleInterface* groupInterface(const ControlGroup& group)
{
    QAccessible::Id& id = group.id;
    if (id != 0)
        if (QAccessibleInterface* known = QAccessible::accessibleInterface(id))
            return known;
    auto* made = new GroupAccessible(&group);
    id = QAccessible::registerAccessibleInterface(made);
    return made;
}

// A control of a group: its parent is the group, and a tab says whether it is
// the one shown, a palette button whether its element is the one chosen.
class MemberAccessible : public QAccessibleWidget
{
public:
    MemberAccessible(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    QAccessibleInterface* parent() const override
    {
        if (const ControlGroup* group = groupOfMember(object()))
            return groupInterface(*group);
        return QAccessibleWidget::parent();
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        int index = -1;
        if (const ControlGroup* group = groupOfMember(object(), &index)) {
            if (group->selected) {
                state.selectable = true;
                state.selected = group->selected(index);
            }
            if (group->checked) {
                state.checkable = true;
                state.checked = group->checked(index);
            }
        }
        return state;
    }

    // A button is pressed as a click presses it.
    QStringList actionNames() const override
    {
        if (qobject_cast<QAbstractButton*>(object()))
            return QStringList{pressAction()} + QAccessibleWidget::actionNames();
        return QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            if (auto* button = qobject_cast<QAbstractButton*>(object())) {
                button->click();
                return;
            }
        QAccessibleWidget::doAction(action);
    }
};

// A widget that holds members of a group: screen readers find the group in
// their place.
class ContainerAccessible : public QAccessibleWidget
{
public:
    ContainerAccessible(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    QString text(QAccessible::Text kind) const override
    {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty())
            if (auto* box = qobject_cast<QGroupBox*>(object()))
                return box->title();
        return text;
    }

    int childCount() const override { return int(children().size()); }
    QAccessibleInterface* child(int index) const override { return children().value(index); }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return int(children().indexOf(const_cast<QAccessibleInterface*>(child)));
    }

private:
    QList<QAccessibleInterface*> children() const
    {
        QList<QAccessibleInterface*> list;
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i)
            if (QAccessibleInterface* child = QAccessibleWidget::child(i);
                child && !groupOfMember(child->object()))
                list << child;
        for (const ControlGroup& group : groups())
            if (group.container == object())
                list << groupInterface(group);
        return list;
    }
};

// Roles the controls' classes do not give: the status caption and the
// announcements tell their news as notifications, which screen readers speak
// as they show, where they let a label's new name pass unspoken (Orca does).
QAccessible::Role notificationRole(const QObject* object)
{
    const QString name = object->objectName();
    return name == QLatin1String("disp1") || name == QLatin1String("Announcer") ? QAccessible::Notification
                                                                                : QAccessible::NoRole;
}

QAccessibleInterface* controlInterface(const QString&, QObject* object)
{
    if (!object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (const ControlGroup* group = groupOfMember(object))
        return new MemberAccessible(widget, group->memberRole);
    for (const ControlGroup& group : groups())
        if (group.container == object)
            return new ContainerAccessible(widget, qobject_cast<QGroupBox*>(widget) ? QAccessible::Grouping
                                                                                    : QAccessible::Client);
    if (const QAccessible::Role role = notificationRole(object); role != QAccessible::NoRole)
        return new QAccessibleWidget(widget, role);
    return nullptr;
}

} // namespace

void renewAccessibleInterface(QObject* object)
{
    QAccessible::deleteAccessibleInterface(
        QAccessible::uniqueId(QAccessible::queryAccessibleInterface(object)));
}

void applyTabOrder(const FormControls& c, ChartGrid* chart)
{
    QList<QWidget*> order;
    for (QWidget* tab : c.groupTabs)
        order << tab;
    order << chart << c.previousPage << c.nextPage;
    for (QWidget* mode : c.modes)
        order << mode;
    for (QWidget* button : c.samePatternPalette)
        order << button;
    // The batch range is set before a batch button is pressed.
    order << c.batchChannel << c.batchFromStep << c.batchToStep;
    for (QWidget* button : c.batchPalette)
        order << button;
    order << c.stepCount << c.write << c.statusCaption;
    for (std::size_t slot = 0; slot < c.saveSlot.size(); ++slot)
        order << c.saveSlot[slot] << c.loadSlot[slot];
    order << c.port;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void nameControls(QWidget* window, const FormControls& controls, ChartGrid* chart, const WindowState& state)
{
    QAccessible::installFactory(controlInterface);
    // Groups of the windows closed before are of no use any more.
    groups().removeIf([](const ControlGroup& group) { return group.container.isNull(); });

    ControlGroup tabs{QStringLiteral("グループ"),
                      QAccessible::PageTabList,
                      window,
                      {},
                      QAccessible::PageTab,
                      [&state](int tab) { return tab == state.CurrentGroup; },
                      {}};
    for (std::size_t group = 0; group < controls.groupTabs.size(); ++group) {
        ClickLabel* tab = controls.groupTabs[group];
        tabs.members << tab;
        // A tab takes no name from its text as a label does.
        tab->setAccessibleName(tab->text());
        tab->setAccessibleDescription(TabDescription.arg(QChar(u'A' + int(group))));
    }
    // One element of the sixteen is chosen, as one option of a group is: screen readers say which.
    ControlGroup same{
        QStringLiteral("同一パターン設定のパターン"),
        QAccessible::Grouping,
        controls.editingFrame,
        {},
        QAccessible::RadioButton,
        {},
        [&state](int ordinal) { return state.SelectedElement == ElementCode::ofOrdinal(ordinal); }};
    ControlGroup batch{QStringLiteral("一括設定のパターン"),
                       QAccessible::Grouping,
                       controls.editingFrame,
                       {},
                       QAccessible::Button,
                       {},
                       {}};
    for (const ElementRow& row : ElementTable) {
        QWidget* sameButton = controls.samePatternPalette[std::size_t(row.ordinal)];
        QWidget* batchButton = controls.batchPalette[std::size_t(row.ordinal)];
        same.members << sameButton;
        batch.members << batchButton;
        // Two buttons of each caption: the names tell them apart.
        sameButton->setAccessibleName(
            QStringLiteral("%1（同一パターン設定）").arg(QString::fromUtf8(row.caption)));
        sameButton->setAccessibleDescription(QStringLiteral("同一パターン設定でセルに置く要素にします。"));
        batchButton->setAccessibleName(QStringLiteral("%1（一括設定）").arg(QString::fromUtf8(row.caption)));
        batchButton->setAccessibleDescription(QStringLiteral("一括設定の範囲をこの要素で埋めます。"));
    }
    groups() << tabs << same << batch;
    // An interface made before the factory knew these controls would go on describing them as before.
    for (const ControlGroup& group : {tabs, same, batch}) {
        renewAccessibleInterface(group.container);
        for (QWidget* member : group.members)
            renewAccessibleInterface(member);
    }
    renewAccessibleInterface(controls.statusCaption);

    chart->setAccessibleName(ChartName);
    chart->setAccessibleDescription(ChartDescription);
    for (const Naming& naming : Namings) {
        QWidget* control = naming.control(controls);
        if (naming.name)
            control->setAccessibleName(QString::fromUtf8(naming.name));
        if (naming.description)
            control->setAccessibleDescription(QString::fromUtf8(naming.description));
        // Qt on Linux names a combo box by the value it shows and takes what the box is from
        // the label it is labelled by: its buddy, named as the box is.
        if (naming.label) {
            QLabel* label = naming.label(controls);
            label->setBuddy(control);
            label->setAccessibleName(QString::fromUtf8(naming.name));
        }
    }
}

namespace {

// The members of a group at `before` and `after` have changed `changed` (checked, selected).
template <typename Members>
void tellChoice(const Members& members, int before, int after, QAccessible::State changed)
{
    for (int member : {before, after}) {
        if (member < 0)
            continue;
        QAccessibleStateChangeEvent event(members[std::size_t(member)], changed);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace

void tellPaletteChoice(const FormControls& controls, int before, int after)
{
    QAccessible::State checked;
    checked.checked = true;
    tellChoice(controls.samePatternPalette, before, after, checked);
}

void tellGroupTabChoice(const FormControls& controls, int before, int after)
{
    QAccessible::State selected;
    selected.selected = true;
    tellChoice(controls.groupTabs, before, after, selected);
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
