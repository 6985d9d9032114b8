#include "app/Form1.h"

#include "app/ChartGeometry.h"
#include "app/ControlFactory.h"
#include "app/Controls.h"
#include "app/Layout.h"
#include "app/MessageBoxes.h"
#include "chart/CellMapping.h"
#include "chart/ElementTable.h"
#include "device/TransferCarrier.h"
#include "device/TransferProtocol.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QRadioButton>
#include <QTimer>

Form1::Form1(const QString& programFolder, const QString& configFolder, const QString& dataFolder,
             MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent), m_programFolder(programFolder), m_configFolder(configFolder), m_dataFolder(dataFolder),
      m_boxes(boxes)
{
    installFontFallback();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("TRV5KB Programmer"));
    setWindowIcon(QIcon(QStringLiteral(":/embedded/icon.png")));
    setFixedSize(pixelRect(Layout::ClientArea).size());
    setFont(layoutFont(Layout::DefaultFont));
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor::fromRgb(Layout::Navy));
    setPalette(background);
    setAutoFillBackground(true);
    buildControls();
    connectEditing();
    connectFiles();
    connectPort();
    connectTransfer();
    connectChartCommands();
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    auto createContainer = [&](Layout::Container container, QWidget* parent, double dx, double dy,
                               auto&& betweenPasses) {
        for (bool onSurface : {true, false}) {
            for (const Layout::Control& row : Layout::controls())
                if (row.container == container && drawnOnContainer(row.kind) == onSurface)
                    createControl(row, parent, dx, dy);
            if (onSurface)
                betweenPasses();
        }
    };

    // The chart cells lie in front of the panel and the end marker, behind nothing.
    createContainer(Layout::Container::Window, this, 0, 0, [&] {
        for (int i = 0; i < GridSize; ++i) {
            auto* cell = new ClickLabel(this);
            cell->setObjectName(QStringLiteral("Picture1(%1)").arg(i));
            cell->setAutoFillBackground(true);
            QPalette pal = cell->palette();
            pal.setColor(QPalette::Window, layoutColour(Layout::SystemWindowBackground));
            cell->setPalette(pal);
            cell->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            cell->setGeometry(pixelRect(ChartGeometry::gridCell(i)));
            m_cells[std::size_t(i)] = cell;
        }
    });
    auto* frame = control<QGroupBox>("Frame1");
    createContainer(Layout::Container::Frame, frame, Layout::FrameLeft, Layout::FrameTop, [] {});

    auto* modes = new QButtonGroup(this);
    modes->setObjectName(QStringLiteral("EditModeOptions"));
    modes->addButton(control<QRadioButton>("Option1"), int(EditingMode::Normal));
    modes->addButton(control<QRadioButton>("Option2"), int(EditingMode::SamePattern));
    modes->addButton(control<QRadioButton>("Option3"), int(EditingMode::Batch));

    // Hidden picture holders: filled at start-up, never shown themselves.
    auto holder = [this](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->hide();
        return label;
    };
    for (const ElementRow& row : ElementTable)
        m_elementHolders[std::size_t(row.ordinal)] = holder(row.holder);
    for (const PageStripRow& row : PageStripTable)
        m_pageHolders[std::size_t(row.page)] = holder(row.holder);

    m_picture2 = control<QLabel>("Picture2");
    m_picture4 = control<QLabel>("Picture4");
    m_label28 = control<QLabel>("Label28");
    m_disp1 = control<QLabel>("disp1");
    m_shape5 = control<ShapeWidget>("Shape5");
    m_shape11 = control<ShapeWidget>("Shape11");
    m_picture2->setPixmap(QPixmap(QStringLiteral(":/embedded/Picture2.jpg")));
    m_picture4->setPixmap(QPixmap(QStringLiteral(":/embedded/Picture4.jpg")));
    control<QLabel>("Image1")->setPixmap(QPixmap(QStringLiteral(":/embedded/Image1.jpg")));

    // A coarse timer may fire up to 5 % early, which would end a transfer
    // before its 15 seconds are up; these keep to the millisecond.
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setTimerType(Qt::PreciseTimer);
    m_timer1->setInterval(TransferProtocol::TimeoutMs);
    m_timer1->setSingleShot(true);
    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setTimerType(Qt::PreciseTimer);
    m_timer2->setInterval(TransferProtocol::BlinkIntervalMs);
}

bool Form1::Form_Load()
{
    m_state.startUp();
    if (!loadPictures())
        return false;
    m_picture4->setPixmap(m_pageHolders[0]->pixmap());
    m_picture2->setPixmap(m_elementHolders[0]->pixmap());
    DrawPage(0);
    // The chart is complete before the port is looked at; nothing above depends on it.
    startUpPortSteps();
    showStatus();
    return true;
}

void Form1::Form_Unload()
{
    shutdownPortSteps();
    keepChartAtExit();
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

bool Form1::loadPictures()
{
    auto load = [this](QLabel* holder, const char* file) {
        const QString path = QDir(m_programFolder).filePath(QString::fromUtf8(file));
        QImageReader reader(path);
        const QImage image = reader.read();
        if (!image.isNull()) {
            holder->setPixmap(QPixmap::fromImage(image));
            return true;
        }
        const QString reason =
            QFileInfo::exists(path)
                ? QStringLiteral("画像として読み込めません（%1）。").arg(reader.errorString())
                : QStringLiteral("ファイルが見つかりません。");
        m_boxes.show(this, {QStringLiteral("TRV5KB Programmer"),
                            QStringLiteral("画像ファイル「%1」を読み込めないため、起動できません。\n%2\n%3")
                                .arg(QString::fromUtf8(file), QDir::toNativeSeparators(path), reason),
                            QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok});
        return false;
    };
    for (const ElementRow& row : ElementTable)
        if (!load(m_elementHolders[std::size_t(row.ordinal)], row.file))
            return false;
    for (const PageStripRow& row : PageStripTable)
        if (!load(m_pageHolders[std::size_t(row.page)], row.file))
            return false;
    return true;
}

QPixmap Form1::ElementPicture(const ElementCode& value) const
{
    const std::optional<int> ordinal = value.ordinal();
    return ordinal ? m_elementHolders[std::size_t(*ordinal)]->pixmap() : QPixmap();
}

void Form1::paintCell(int index, const ElementCode& value)
{
    const QPixmap picture = ElementPicture(value);
    if (!picture.isNull())
        m_cells[std::size_t(index)]->setPixmap(picture);
}

void Form1::DrawPage(int page)
{
    for (int index = 0; index < GridSize; ++index) {
        const ChartCell cell = cellOfGridIndex(index, page, m_state.CurrentGroup);
        paintCell(index, m_state.PatternData.at(cell.step, cell.channel));
    }
}

void Form1::RedrawChart()
{
    if (m_state.CurrentPage == 0 || m_state.CurrentPage == 1)
        DrawPage(m_state.CurrentPage);
}

void Form1::PlaceEndMarker(int page)
{
    m_shape5->setRectPt(ChartGeometry::endMarker(page, m_state.StepCount));
}

bool Form1::StatusReset()
{
    if (!m_state.StatusReset())
        return false;
    showStatus();
    return true;
}

void Form1::showStatus()
{
    m_shape11->setFillColor(QColor::fromRgb(QRgb(m_state.Status.lamp)));
    m_disp1->setText(m_state.Status.caption);
    m_disp1->setToolTip(m_state.Status.lamp == LampColour::Failure ? m_failureReason : QString());
}
