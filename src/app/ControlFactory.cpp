#include "app/ControlFactory.h"

#include "app/Controls.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString FontFace = QStringLiteral("ＭＳ Ｐゴシック");

QString itemText(const char* prefix, int number)
{
    return QString::fromUtf8(prefix) + QString::number(number);
}

// The Japanese Gothics that stand in for the design's face where the system lacks it, best first.
QStringList standInFaces()
{
    QStringList faces{QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                      QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("VL PGothic"), QStringLiteral("IPAGothic")};
#ifdef Q_OS_WIN
    // Windows may know the face by its English name only; without the Japanese supplemental
    // fonts it has its UI Gothics alone (Yu Gothic UI on every Windows 10 and later).
    faces = QStringList{QStringLiteral("MS PGothic"), QStringLiteral("MS UI Gothic"),
                        QStringLiteral("Yu Gothic UI")} +
            faces;
#endif
    return faces;
}

} // namespace

void installFontFallback()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QFont::insertSubstitutions(FontFace, standInFaces());
}

QFont layoutFont(const Layout::Font& font)
{
    QFont result(FontFace);
    result.setPixelSize(pointsToPixels(font.points));
    result.setWeight(font.bold ? QFont::Bold : QFont::Normal);
    return result;
}

QColor layoutColour(quint32 value)
{
    switch (value) {
    case Layout::SystemWindowText:
        return QApplication::palette().color(QPalette::WindowText);
    case Layout::SystemWindowBackground:
        return QApplication::palette().color(QPalette::Base);
    default:
        return QColor::fromRgb(QRgb(value));
    }
}

bool drawnOnContainer(Layout::Kind kind)
{
    using K = Layout::Kind;
    return kind == K::Shape || kind == K::RoundedShape || kind == K::Label || kind == K::Image;
}

QWidget* createControl(const Layout::Control& row, QWidget* parent, double dx, double dy)
{
    using K = Layout::Kind;
    const RectPt rect{row.rect.left - dx, row.rect.top - dy, row.rect.width, row.rect.height};
    const QString caption = QString::fromUtf8(row.caption);
    QWidget* widget = nullptr;
    QPalette pal = parent->palette();
    switch (row.kind) {
    case K::Shape:
    case K::RoundedShape: {
        auto* shape = new ShapeWidget(row.kind == K::RoundedShape, parent);
        if (row.back)
            shape->setFillColor(layoutColour(*row.back));
        if (row.border)
            shape->setBorderColor(layoutColour(*row.border));
        shape->setRectPt(rect);
        widget = shape;
        break;
    }
    case K::Label:
    case K::Image:
    case K::PictureBox: {
        auto* label = new ClickLabel(caption, parent);
        label->setAlignment((row.align == Layout::Align::Center ? Qt::AlignHCenter : Qt::AlignLeft) |
                            Qt::AlignTop);
        label->setMargin(0);
        widget = label;
        break;
    }
    case K::PushButton:
        widget = new QPushButton(caption, parent);
        if (row.back)
            pal.setColor(QPalette::Button, layoutColour(*row.back));
        break;
    case K::ComboBox: {
        auto* box = new ChoiceBox(parent);
        box->setLineEdit(new ChoiceField(box));
        box->setInsertPolicy(QComboBox::NoInsert);
        // Only an item chosen from the list is a choice. Left to itself the box would also take
        // typed text that names an item, on Enter or when the focus leaves it.
        box->setCompleter(nullptr);
        QObject::disconnect(box->lineEdit(), &QLineEdit::returnPressed, box, nullptr);
        QObject::disconnect(box->lineEdit(), &QLineEdit::editingFinished, box, nullptr);
        for (int n = 1; n <= row.listCount; ++n)
            box->addItem(itemText(row.listPrefix, n));
        showInComboBox(box, caption);
        if (row.back) {
            pal.setColor(QPalette::Base, layoutColour(*row.back));
            pal.setColor(QPalette::Button, layoutColour(*row.back));
        }
        if (row.fore)
            pal.setColor(QPalette::Text, layoutColour(*row.fore));
        widget = box;
        break;
    }
    case K::OptionButton: {
        auto* option = new QRadioButton(caption, parent);
        option->setChecked(row.checked);
        widget = option;
        break;
    }
    case K::Frame:
        widget = new QGroupBox(caption, parent);
        break;
    }
    widget->setObjectName(QString::fromLatin1(row.name));
    if (row.kind != K::Shape && row.kind != K::RoundedShape) {
        if (row.back && row.kind != K::PushButton && row.kind != K::ComboBox) {
            pal.setColor(QPalette::Window, layoutColour(*row.back));
            widget->setAutoFillBackground(true);
        }
        if (row.fore && row.kind != K::ComboBox)
            pal.setColor(QPalette::WindowText, layoutColour(*row.fore));
        // What a control would take from its container anyway is not set again: each setting
        // is a change of its own for the control, its children and their caches.
        if (pal != widget->palette())
            widget->setPalette(pal);
        if (const QFont font = layoutFont(row.font.points > 0 ? row.font : Layout::DefaultFont);
            font != widget->font())
            widget->setFont(font);
        widget->setGeometry(pixelRect(rect));
    }
    if (row.toolTip)
        widget->setToolTip(QString::fromUtf8(row.toolTip));
    return widget;
}
