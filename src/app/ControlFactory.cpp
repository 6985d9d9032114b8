#include "app/ControlFactory.h"

#include "app/Controls.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString FontFace = QStringLiteral("ＭＳ Ｐゴシック");

QString itemText(const char* prefix, int number)
{
    return QString::fromUtf8(prefix) + QString::number(number);
}

} // namespace

void installFontFallback()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QFont::insertSubstitutions(FontFace, {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                          QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP"),
                                          QStringLiteral("VL PGothic"), QStringLiteral("IPAGothic")});
}

QFont layoutFont(const Layout::Font& spec)
{
    QFont font(FontFace);
    font.setPixelSize(pointsToPixels(spec.points));
    font.setWeight(spec.bold ? QFont::Bold : QFont::Normal);
    return font;
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

QWidget* createControl(const Layout::Control& spec, QWidget* parent, double dx, double dy)
{
    using K = Layout::Kind;
    const RectPt rect{spec.rect.left - dx, spec.rect.top - dy, spec.rect.width, spec.rect.height};
    const QString caption = QString::fromUtf8(spec.caption);
    QWidget* widget = nullptr;
    QPalette pal = parent->palette();
    switch (spec.kind) {
    case K::Shape:
    case K::RoundedShape: {
        auto* shape = new ShapeWidget(spec.kind == K::RoundedShape, parent);
        if (spec.back)
            shape->setFillColor(layoutColour(*spec.back));
        if (spec.border)
            shape->setBorderColor(layoutColour(*spec.border));
        shape->setRectPt(rect);
        widget = shape;
        break;
    }
    case K::Label:
    case K::Image:
    case K::PictureBox: {
        auto* label = new ClickLabel(caption, parent);
        label->setAlignment((spec.align == Layout::Align::Center ? Qt::AlignHCenter : Qt::AlignLeft) |
                            Qt::AlignTop);
        label->setMargin(0);
        widget = label;
        break;
    }
    case K::PushButton:
        widget = new QPushButton(caption, parent);
        if (spec.back)
            pal.setColor(QPalette::Button, layoutColour(*spec.back));
        break;
    case K::ComboBox: {
        auto* box = new QComboBox(parent);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        for (int n = 1; n <= spec.listCount; ++n)
            box->addItem(itemText(spec.listPrefix, n));
        box->setEditText(caption);
        if (spec.back) {
            pal.setColor(QPalette::Base, layoutColour(*spec.back));
            pal.setColor(QPalette::Button, layoutColour(*spec.back));
        }
        if (spec.fore)
            pal.setColor(QPalette::Text, layoutColour(*spec.fore));
        widget = box;
        break;
    }
    case K::OptionButton: {
        auto* option = new QRadioButton(caption, parent);
        option->setChecked(spec.checked);
        widget = option;
        break;
    }
    case K::Frame:
        widget = new QGroupBox(caption, parent);
        break;
    }
    widget->setObjectName(QString::fromLatin1(spec.name));
    if (spec.kind != K::Shape && spec.kind != K::RoundedShape) {
        if (spec.back && spec.kind != K::PushButton && spec.kind != K::ComboBox) {
            pal.setColor(QPalette::Window, layoutColour(*spec.back));
            widget->setAutoFillBackground(true);
        }
        if (spec.fore && spec.kind != K::ComboBox)
            pal.setColor(QPalette::WindowText, layoutColour(*spec.fore));
        widget->setPalette(pal);
        widget->setFont(layoutFont(spec.font.points > 0 ? spec.font : Layout::DefaultFont));
        widget->setGeometry(pixelRect(rect));
    }
    if (spec.toolTip)
        widget->setToolTip(QString::fromUtf8(spec.toolTip));
    return widget;
}
