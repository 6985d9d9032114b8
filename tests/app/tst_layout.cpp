#include "FormFixture.h"

#include "app/Controls.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

// The window's controls as the design lays them out: window coordinates in
// points, caption, background (shape fill), text colour (shape border), font.
// -1: not set by the design (transparent, default colour or no border).
struct Expected
{
    const char* name;
    double left, top, width, height;
    const char* caption;
    int back;
    int fore;
    double fontPt; // 0: the window's default font
    bool bold;
};

constexpr int Navy = 0x000040, Lavender = 0xC0C0FF, Violet = 0x8080FF, White = 0xFFFFFF, None = -1;
constexpr int SystemText = -2; // the system's window-text colour
constexpr int SystemBack = -3; // the system's window-background colour

// clang-format off
const Expected ExpectedControls[] = {
    {"Shape1", 9, 6, 66.75, 21.75, "", Violet, Violet, 0, false},
    {"Shape2", 75, 6, 66.75, 21.75, "", Lavender, Violet, 0, false},
    {"Shape3", 141, 6, 66.75, 21.75, "", Lavender, Violet, 0, false},
    {"Shape6", 207, 6, 66.75, 21.75, "", Lavender, Violet, 0, false},
    {"Shape7", 273, 6, 66.75, 21.75, "", Lavender, Violet, 0, false},
    {"Shape8", 339, 6, 66.75, 21.75, "", Lavender, Violet, 0, false},
    {"Shape9", 405, 6, 66.75, 21.75, "", Lavender, Violet, 0, false},
    {"Shape10", 471, 6, 66.75, 21.75, "", Lavender, Violet, 0, false},
    {"Label1", 16.5, 9, 51.75, 12.75, "グループA", None, White, 9.75, true},
    {"Label2", 84, 9, 51.75, 12.75, "グループB", None, White, 9.75, true},
    {"Label3", 148.5, 9, 51.75, 12.75, "グループC", None, White, 9.75, true},
    {"Label4", 214.5, 9, 51.75, 12.75, "グループD", None, White, 9.75, true},
    {"Label5", 280.5, 9, 51.75, 12.75, "グループE", None, White, 9.75, true},
    {"Label6", 346.5, 9, 51.75, 12.75, "グループF", None, White, 9.75, true},
    {"Label7", 412.5, 9, 51.75, 12.75, "グループG", None, White, 9.75, true},
    {"Label8", 478.5, 9, 51.75, 12.75, "グループH", None, White, 9.75, true},
    {"Shape4", 9, 24, 528.75, 258.75, "", Violet, Violet, 0, false},
    {"Label22", 240, 45, 75.75, 9.75, "ステップ", Violet, Navy, 9.75, true},
    {"Picture4", 42, 57, 480, 12, "", SystemBack, SystemText, 0, false},
    {"Shape18", 12.75, 57, 27.75, 87.75, "", Lavender, None, 0, false},
    {"Label21", 15, 63, 24.75, 9.75, "チャネル", Lavender, Navy, 6.75, false},
    {"Label16", 21, 75, 18.75, 9.75, "CH1", Lavender, Navy, 8.25, true},
    {"Label17", 21, 90, 18.75, 9.75, "CH2", Lavender, Navy, 8.25, true},
    {"Label18", 21, 105, 18.75, 9.75, "CH3", Lavender, Navy, 8.25, true},
    {"Label19", 21, 120, 18.75, 9.75, "CH4", Lavender, Navy, 8.25, true},
    {"Label20", 21, 135, 18.75, 9, "CH5", Lavender, Navy, 8.25, true},
    {"Shape5", 519, 72, 0.75, 72.75, "", Navy, None, 0, false},
    {"Label12", 204, 147, 123.75, 9.75, "調光パターン・チャート", Violet, Navy, 9.75, true},
    {"Label28", 327, 147, 51.75, 9.75, "（ページ１）", Violet, Navy, 9.75, true},
    {"Command6", 42, 150, 30.75, 12.75, "←前へ", None, None, 0, false},
    {"Command7", 492, 147, 30.75, 12.75, "次へ→", None, None, 0, false},
    {"Frame1", 15, 162, 519.75, 111.75, "設定補助", Violet, Navy, 9.75, false},
    {"Shape19", 21, 174, 507.75, 16.5, "", Lavender, Violet, 0, false},
    {"Shape20", 21, 189.75, 507.75, 32, "", Lavender, Violet, 0, false},
    {"Shape21", 21, 221, 507.75, 49.5, "", Lavender, Violet, 0, false},
    {"Option1", 24, 177, 69.75, 9.75, "ノーマル設定", Lavender, None, 0, false},
    {"Option2", 24, 193, 96.75, 9.75, "同一パターン設定→", Lavender, None, 0, false},
    {"Option3", 24, 243, 63.75, 9.75, "一括設定→", Lavender, None, 0, false},
    {"Label23", 120.5, 193, 63.75, 9.75, "パターンの指定", Lavender, None, 0, false},
    {"Picture2", 180, 192, 12, 12, "", SystemBack, SystemText, 0, false},
    {"Label24", 90, 243, 12.75, 9.75, "CH", Lavender, None, 0, false},
    {"Combo2", 105, 240, 30.75, 15, "1", None, None, 0, false},
    {"Label25", 141, 243, 54.75, 9.75, "ステップ範囲", Lavender, None, 0, false},
    {"Combo3", 195, 240, 30.75, 15, "1", None, None, 0, false},
    {"Label26", 228, 243, 12.75, 9.75, "～", Lavender, None, 0, false},
    {"Combo4", 240, 240, 30.75, 15, "1", None, None, 0, false},
    {"Label27", 276, 237, 33.75, 9.75, "パターン", Lavender, None, 0, false},
    {"Label29", 276, 246, 33.75, 9.75, "の指定", Lavender, None, 0, false},
    {"Command8", 204, 192, 18.75, 12.75, "UP", Lavender, None, 8.25, false},
    {"Command9", 225, 192, 30.75, 12.75, "DOWN", Lavender, None, 8.25, false},
    {"Command10", 258, 192, 18.75, 12.75, "ON", Lavender, None, 8.25, false},
    {"Command11", 279, 192, 24.75, 12.75, "OFF", Lavender, None, 8.25, false},
    {"Command16", 306, 192, 27.75, 12.75, "UP-L", Lavender, None, 8.25, false},
    {"Command17", 336, 192, 27.75, 12.75, "UP-H", Lavender, None, 8.25, false},
    {"Command18", 366, 192, 39.75, 12.75, "DOWN-H", Lavender, None, 8.25, false},
    {"Command19", 408, 192, 39.75, 12.75, "DOWN-L", Lavender, None, 8.25, false},
    {"Command20", 450, 192, 36.75, 12.75, "ON-OFF", Lavender, None, 8.25, false},
    {"Command21", 489, 192, 36.75, 12.75, "OFF-ON", Lavender, None, 8.25, false},
    {"Command28", 204, 207, 36.75, 12.75, "ON-1/2", Lavender, None, 8.25, false},
    {"Command29", 243, 207, 36.75, 12.75, "ON-1/4", Lavender, None, 8.25, false},
    {"Command30", 282, 207, 45.75, 12.75, "UP-L(1/4)", Lavender, None, 8.25, false},
    {"Command31", 330, 207, 45.75, 12.75, "UP-H(1/4)", Lavender, None, 8.25, false},
    {"Command32", 378, 207, 57.75, 12.75, "DOWN-H(1/4)", Lavender, None, 8.25, false},
    {"Command33", 438, 207, 57.75, 12.75, "DOWN-L(1/4)", Lavender, None, 8.25, false},
    {"Command12", 312, 225, 18.75, 12.75, "UP", Lavender, None, 8.25, false},
    {"Command13", 333, 225, 30.75, 12.75, "DOWN", Lavender, None, 8.25, false},
    {"Command14", 366, 225, 18.75, 12.75, "ON", Lavender, None, 8.25, false},
    {"Command15", 387, 225, 24.75, 12.75, "OFF", Lavender, None, 8.25, false},
    {"Command22", 414, 225, 27.75, 12.75, "UP-L", Lavender, None, 8.25, false},
    {"Command23", 444, 225, 27.75, 12.75, "UP-H", Lavender, None, 8.25, false},
    {"Command24", 474, 225, 39.75, 12.75, "DOWN-H", Lavender, None, 8.25, false},
    {"Command25", 312, 240, 39.75, 12.75, "DOWN-L", Lavender, None, 8.25, false},
    {"Command26", 354, 240, 36.75, 12.75, "ON-OFF", Lavender, None, 8.25, false},
    {"Command27", 393, 240, 36.75, 12.75, "OFF-ON", Lavender, None, 8.25, false},
    {"Command34", 432, 240, 39.75, 12.75, "ON-1/2", Lavender, None, 8.25, false},
    {"Command35", 474, 240, 39.75, 12.75, "ON-1/4", Lavender, None, 8.25, false},
    {"Command36", 312, 255, 45.75, 12.75, "UP-L(1/4)", Lavender, None, 8.25, false},
    {"Command37", 360, 255, 45.75, 12.75, "UP-H(1/4)", Lavender, None, 8.25, false},
    {"Command38", 408, 255, 57.75, 12.75, "DOWN-H(1/4)", Lavender, None, 8.25, false},
    {"Command39", 468, 255, 57.75, 12.75, "DOWN-L(1/4)", Lavender, None, 8.25, false},
    {"Shape13", 9, 288, 63.75, 36.75, "", Lavender, SystemText, 0, false},
    {"Label9", 14.25, 291, 54.75, 12.75, "ステップ数", None, Navy, 9.75, true},
    {"Combo1", 24, 303, 30.75, 15, "80", Lavender, Navy, 0, false},
    {"Shape12", 81, 288, 117.75, 36.75, "", Lavender, SystemText, 0, false},
    {"Command1", 87, 291, 60.75, 30.75, "書込", None, None, 12, true},
    {"Label11", 162, 291, 21.75, 12.75, "結果", None, Navy, 9.75, true},
    {"Shape11", 156, 303, 33.75, 15.75, "", White, None, 0, false},
    {"disp1", 159, 306.75, 27.75, 9.75, "", None, None, 8.25, false},
    {"Shape14", 207, 288, 126.75, 36.75, "", Lavender, SystemText, 0, false},
    {"Shape16", 213, 290.25, 114.75, 16.5, "", None, Violet, 0, false},
    {"Shape17", 213, 306, 114.75, 16.5, "", None, Violet, 0, false},
    {"Label13", 216, 291.75, 51.75, 9.75, "パターン１", None, Navy, 9.75, true},
    {"Label14", 216, 309.75, 51.75, 9.75, "パターン２", None, Navy, 9.75, true},
    {"Command2", 270, 291.75, 24.75, 12.75, "保存", None, None, 0, false},
    {"Command3", 300, 291, 24.75, 12.75, "呼出", None, None, 0, false},
    {"Command4", 270, 308.25, 24.75, 12.75, "保存", None, None, 0, false},
    {"Command5", 300, 308.25, 24.75, 12.75, "呼出", None, None, 0, false},
    {"Image1", 352.5, 291, 74.25, 24.75, "", None, None, 0, false},
    {"Label15", 351.75, 315, 78.75, 12.75, nullptr, None, Lavender, 9.75, false},
    {"Shape15", 444, 288, 93.75, 36.75, "", Lavender, SystemText, 0, false},
    {"Label10", 450, 291, 81.75, 12.75, "COMポートの選択", None, Navy, 9.75, true},
    {"Comportbox", 468, 303, 48.75, 15, "選択", Lavender, Navy, 0, false},
};
// clang-format on

// Pixel rounding moves an edge by at most half a pixel, 3/8 point.
constexpr double Tolerance = 0.375 + 1e-9;

QPointF windowPoints(const QWidget* widget)
{
    const QPoint pixels = widget->mapTo(widget->window(), QPoint(0, 0));
    return QPointF(pixels) * 0.75;
}

QColor colour(int value)
{
    if (value == SystemText)
        return QApplication::palette().color(QPalette::WindowText);
    if (value == SystemBack)
        return QApplication::palette().color(QPalette::Base);
    return QColor::fromRgb(QRgb(value));
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void control_data();
    void control();
    void window();
    void japaneseFace();
    void grid();
    void stacking_data();
    void stacking();
    void lists();
    void invisibleParts();

private:
    StartedForm* w = nullptr;
};

void TestLayout::initTestCase()
{
    w = new StartedForm;
}

void TestLayout::cleanupTestCase()
{
    delete w;
}

void TestLayout::control_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(ExpectedControls)); ++i)
        QTest::newRow(ExpectedControls[i].name) << i;
}

void TestLayout::control()
{
    QFETCH(int, row);
    const Expected& e = ExpectedControls[row];
    QWidget* widget = w->get<QWidget>(e.name);
    QVERIFY2(widget, e.name);

    const QPointF at = windowPoints(widget);
    QVERIFY2(qAbs(at.x() - e.left) <= Tolerance, qPrintable(QString::number(at.x())));
    QVERIFY2(qAbs(at.y() - e.top) <= Tolerance, qPrintable(QString::number(at.y())));
    QVERIFY2(qAbs(widget->width() * 0.75 - e.width) <= 2 * Tolerance,
             qPrintable(QString::number(widget->width())));
    QVERIFY2(qAbs(widget->height() * 0.75 - e.height) <= 2 * Tolerance,
             qPrintable(QString::number(widget->height())));

    if (auto* shape = qobject_cast<ShapeWidget*>(widget)) {
        // Children of the frame keep their place relative to it.
        const bool inFrame = shape->parentWidget()->objectName() == "Frame1";
        QCOMPARE(shape->left() + (inFrame ? 15 : 0), e.left);
        QCOMPARE(shape->top() + (inFrame ? 162 : 0), e.top);
        QCOMPARE(shape->widthPt(), e.width);
        QCOMPARE(shape->heightPt(), e.height);
        QCOMPARE(shape->fillColor(), e.back == None ? std::nullopt : std::optional(colour(e.back)));
        QCOMPARE(shape->borderColor(), e.fore == None ? std::nullopt : std::optional(colour(e.fore)));
        return;
    }

    QString caption;
    QPalette::ColorRole backRole = QPalette::Window;
    QPalette::ColorRole foreRole = QPalette::WindowText;
    bool filled = widget->autoFillBackground();
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        caption = label->text();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        caption = button->text();
        if (qobject_cast<QPushButton*>(widget)) {
            backRole = QPalette::Button;
            filled = e.back != None;
        }
    } else if (auto* box = qobject_cast<QComboBox*>(widget)) {
        caption = box->currentText();
        backRole = QPalette::Base;
        foreRole = QPalette::Text;
        filled = e.back != None;
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        caption = frame->title();
    }
    if (e.caption)
        QCOMPARE(caption, QString::fromUtf8(e.caption));
    else
        QVERIFY(!caption.isEmpty());

    QCOMPARE(filled, e.back != None);
    if (e.back != None)
        QCOMPARE(widget->palette().color(backRole), colour(e.back));
    if (e.fore != None)
        QCOMPARE(widget->palette().color(foreRole), colour(e.fore));

    const QFont font = widget->font();
    QCOMPARE(font.family(), "ＭＳ Ｐゴシック");
    QCOMPARE(font.pixelSize(), qRound((e.fontPt > 0 ? e.fontPt : 9) * 4 / 3));
    QCOMPARE(font.bold(), e.bold);
}

void TestLayout::window()
{
    Form1& form = *w->form;
    QCOMPARE(form.windowTitle(), "TRV5KB Programmer");
    QCOMPARE(form.size(), QSize(728, 438));
    QCOMPARE(form.minimumSize(), form.maximumSize()); // not resizable
    QCOMPARE(form.palette().color(QPalette::Window), QColor(0x00, 0x00, 0x40));
    QVERIFY(!form.windowIcon().isNull());
    QCOMPARE(form.windowIcon().availableSizes().value(0), QSize(128, 128));

    // The pictures the window carries itself, before start-up replaces two of them.
    QCOMPARE(w->get<QLabel>("Picture4")->pixmap().size(), QSize(640, 16));
    QCOMPARE(w->get<QLabel>("Picture2")->pixmap().size(), QSize(16, 16));
    QCOMPARE(w->get<QLabel>("Image1")->pixmap().size(), QSize(99, 33));
    QVERIFY(!w->get<QLabel>("Label15")->text().isEmpty());
}

// Every caption is drawn in a Japanese Gothic of the system, with a glyph of its own for each
// character: the design's face, or where it is missing the Gothic that stands in for it (on
// Windows without the Japanese supplemental fonts: MS UI Gothic or Yu Gothic UI; under Wine
// and on Linux: IPA P Gothic).
void TestLayout::japaneseFace()
{
    if (QFontDatabase::families().isEmpty())
        QSKIP("this platform draws no text (the offscreen platform of a Qt for Windows has no fonts)");
    const QStringList gothics{"ＭＳ Ｐゴシック",  "MS PGothic", "MS UI Gothic",
                              "Yu Gothic UI",     "IPAPGothic", "IPA Pゴシック",
                              "Noto Sans CJK JP", "VL PGothic", "IPAGothic"};
    for (const Expected& e : ExpectedControls) {
        auto* widget = w->get<QWidget>(e.name);
        QVERIFY2(widget, e.name);
        const QString caption = QString::fromUtf8(e.caption);
        if (caption.isEmpty())
            continue;
        const QFontInfo shown(widget->font());
        QVERIFY2(gothics.contains(shown.family()),
                 qPrintable(QStringLiteral("%1: %2").arg(e.name, shown.family())));
        const QFontMetrics metrics(widget->font());
        for (const QChar c : caption)
            QVERIFY2(metrics.inFont(c), qPrintable(QStringLiteral("%1: %2").arg(e.name, c)));
    }
}

void TestLayout::grid()
{
    const struct
    {
        int index;
        double left, top;
    } corners[] = {{0, 42, 72}, {4, 42, 132}, {195, 510, 72}, {199, 510, 132}};
    for (const auto& corner : corners)
        QCOMPARE(QPointF(w->cell(corner.index).geometry().topLeft()) * 0.75,
                 QPointF(corner.left, corner.top));
    QRegion covered;
    for (int i = 0; i < 200; ++i) {
        const QRect cell = w->cell(i).geometry();
        QCOMPARE(cell.size(), QSize(16, 16));
        QCOMPARE(cell.topLeft(), QPoint(56 + 16 * (i / 5), 96 + 20 * (i % 5)));
        QVERIFY2(!covered.intersects(cell), qPrintable(QString::number(i)));
        covered += cell;
    }
}

void TestLayout::stacking_data()
{
    QTest::addColumn<QString>("behind");
    QTest::addColumn<QString>("front");

    // clang-format off
    QTest::newRow("tab behind panel") << "Shape1" << "Shape4";
    QTest::newRow("last tab behind panel") << "Shape10" << "Shape4";
    QTest::newRow("tab caption on tab") << "Shape6" << "Label4";
    QTest::newRow("marker on panel") << "Shape4" << "Shape5";
    QTest::newRow("cells over marker") << "Shape5" << "Picture1";
    QTest::newRow("channel band on panel") << "Shape4" << "Shape18";
    QTest::newRow("lamp caption on lamp") << "Shape11" << "disp1";
    QTest::newRow("pattern rows in their frame") << "Shape14" << "Shape16";
    QTest::newRow("frame over panel") << "Shape4" << "Frame1";
    QTest::newRow("window palette over frame") << "Frame1" << "Command28";
    QTest::newRow("preview over frame") << "Frame1" << "Picture2";
    QTest::newRow("band behind its options") << "Shape19" << "Option1";
    QTest::newRow("band behind frame palette") << "Shape21" << "Command12";
    // clang-format on
}

void TestLayout::stacking()
{
    QFETCH(QString, behind);
    QFETCH(QString, front);
    QWidget* back = w->get<QWidget>(behind);
    QWidget* fore = w->get<QWidget>(front);
    QVERIFY(back && fore);
    QCOMPARE(back->parentWidget(), fore->parentWidget());
    const QObjectList siblings = back->parentWidget()->children();
    QVERIFY(siblings.indexOf(back) < siblings.indexOf(fore));
}

void TestLayout::lists()
{
    auto items = [&](const char* name) {
        auto* box = w->get<QComboBox>(name);
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        if (!box->isEditable())
            texts << QStringLiteral("(not editable)");
        // The list is made at the first look, after the box got its font (in the frame, not the
        // frame's own), and shows its items in that font.
        if (box->view()->font() != box->font())
            texts << QStringLiteral("(list font %1)").arg(box->view()->font().toString());
        return texts;
    };
    QStringList steps, channels, ports;
    for (int n = 1; n <= 80; ++n)
        steps << QString::number(n);
    for (int n = 1; n <= 5; ++n)
        channels << QString::number(n);
    for (int n = 1; n <= 20; ++n)
        ports << QStringLiteral("COM%1").arg(n);
    QCOMPARE(items("Combo1"), steps);
    QCOMPARE(items("Combo2"), channels);
    QCOMPARE(items("Combo3"), steps);
    QCOMPARE(items("Combo4"), steps);
    QCOMPARE(items("Comportbox"), ports);

    QVERIFY(w->get<QRadioButton>("Option1")->isChecked());
    QVERIFY(!w->get<QRadioButton>("Option2")->isChecked());
    QVERIFY(!w->get<QRadioButton>("Option3")->isChecked());
    QCOMPARE(w->get<QRadioButton>("Option1")->toolTip(), "設定する場所を繰り返しクリックして選択する。");
    QCOMPARE(w->get<QRadioButton>("Option2")->toolTip(), "パターンを指定してワン・クリックで設定する。");
    QCOMPARE(w->get<QRadioButton>("Option3")->toolTip(),
             "チャネルとステップ範囲を指定し、同一パターンを一括設定する。");
}

void TestLayout::invisibleParts()
{
    auto* timer1 = w->get<QTimer>("Timer1");
    auto* timer2 = w->get<QTimer>("Timer2");
    QCOMPARE(timer1->interval(), 15000);
    QCOMPARE(timer2->interval(), 250);
    QVERIFY(!timer1->isActive());
    QVERIFY(!timer2->isActive());
    for (const char* holder :
         {"UP", "DOWN", "ON_", "OFF", "UPLM", "UPMH", "DOWNHM", "DOWNML", "ONOFF", "OFFON", "ONHF", "ONQT",
          "UPQL", "UPQH", "DOWNQH", "DOWNQL", "PAGE0", "PAGE1"}) {
        auto* label = w->get<QLabel>(holder);
        QVERIFY2(label, holder);
        QVERIFY(label->isHidden());
    }
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
