#include "app/Form1.h"

#include "app/ChartCommands.h"
#include "app/ChartPrinting.h"
#include "app/ChartView.h"
#include "app/ControlAccess.h"
#include "app/ControlFactory.h"
#include "app/Controls.h"
#include "app/ElementPictures.h"
#include "app/Layout.h"
#include "app/MessageBoxes.h"
#include "app/NamedFiles.h"
#include "app/PatternFiles.h"
#include "app/PortPicker.h"
#include "chart/ElementTable.h"
#include "edit/CellClick.h"
#include "edit/Choices.h"
#include "edit/PageSwitch.h"
#include "files/PatternFile.h"
#include "serial/PortLine.h"
#include "transfer/ControllerTransfer.h"
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTimer>
#include <functional>
#include <utility>

namespace {

struct RangeBox
{
    const char* name;
    qint16 WindowState::*range;
};

constexpr RangeBox RangeBoxes[] = {{"Combo2", &WindowState::BatchChannel},
                                   {"Combo3", &WindowState::BatchFromStep},
                                   {"Combo4", &WindowState::BatchToStep}};

// A box counts an item chosen from its list, and text typed into it once the
// user is done with it (Return, or the focus leaving) when the text names an
// item: anything else is put back, with a message. Afterwards the box shows
// the value in use, so a pick refused during a transfer or text that names no
// item cannot pass for the value the chart and the controller get.
void connectChoiceBox(QObject* context, QComboBox* box, MessageBoxes& boxes,
                      const std::function<void(const QString&)>& choose,
                      const std::function<QString()>& inUse)
{
    const auto showInUse = [box, inUse] { showInComboBox(box, inUse()); };
    QObject::connect(box, &QComboBox::activated, context, [box, choose, showInUse](int index) {
        choose(box->itemText(index));
        showInUse();
    });
    QObject::connect(
        box->lineEdit(), &QLineEdit::editingFinished, context, [box, &boxes, choose, inUse, showInUse] {
            // The box's own list opening takes the focus for a moment; what is typed counts once the
            // user leaves the box itself.
            if (QApplication::activePopupWidget())
                return;
            const QString typed = box->currentText().trimmed();
            if (typed == inUse())
                return showInUse();
            if (const int item = box->findText(typed, Qt::MatchFixedString); item >= 0)
                choose(box->itemText(item));
            else if (!typed.isEmpty())
                boxes.show(box->window(),
                           {box->accessibleName(),
                            QStringLiteral("「%1」は一覧にありません。一覧から選んでください。").arg(typed),
                            QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok});
            showInUse();
        });
}

} // namespace

Form1::Form1(const QString& programFolder, const QString& configFolder, const QString& dataFolder,
             MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent), m_programFolder(programFolder), m_configFolder(configFolder), m_boxes(boxes)
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

    m_pictures = std::make_unique<ElementPictures>(this);
    m_view = new ChartView(this, m_state, *m_pictures);
    buildControls();
    m_view->attachControls();
    applyTabOrder(this);
    nameControls(this);
    const auto opening = [this] { return StatusReset(); };
    m_commands = new ChartCommands(
        this, m_state, *m_view, m_boxes, opening,
        [this](const ChartChange& change, ChartEditCommand::Show show) { applyChange(change, show); });
    const auto takeLoaded = [this](const PatternFileContent& content, const QString& text) {
        takeLoadedChart(content, text);
    };
    m_files = new PatternFiles(this, m_state, m_boxes, dataFolder, opening, takeLoaded);
    m_namedFiles = new NamedFiles(this, m_state, m_boxes, *m_commands, configFolder, opening, takeLoaded);
    m_printing = new ChartPrinting(this, m_state, m_boxes, *m_commands, *m_namedFiles, opening);
    m_commands->setMenuExtension([this](QMenu& menu, bool idle) {
        m_namedFiles->addMenuItems(menu, idle);
        menu.addSeparator();
        m_printing->addMenuItems(menu, idle);
        menu.addSeparator();
        m_files->addMenuItems(menu, idle);
    });
    connectControls();
    connectTransfer();
    connectPort();
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
    createContainer(Layout::Container::Window, this, 0, 0, [&] { m_view->buildCells(); });
    auto* frame = control<QGroupBox>("Frame1");
    createContainer(Layout::Container::Frame, frame, Layout::FrameLeft, Layout::FrameTop, [] {});

    auto* modes = new QButtonGroup(this);
    modes->setObjectName(QStringLiteral("EditModeOptions"));
    modes->addButton(control<QRadioButton>("Option1"), int(EditingMode::Normal));
    modes->addButton(control<QRadioButton>("Option2"), int(EditingMode::SamePattern));
    modes->addButton(control<QRadioButton>("Option3"), int(EditingMode::Batch));

    m_preview = control<QLabel>("Picture2");
    m_statusCaption = control<QLabel>("disp1");
    m_statusLamp = control<ShapeWidget>("Shape11");
    m_stepCountBox = control<QComboBox>("Combo1");
    m_preview->setPixmap(embeddedPicture(QStringLiteral("Picture2.jpg")));
    control<QLabel>("Picture4")->setPixmap(embeddedPicture(QStringLiteral("Picture4.jpg")));
    control<QLabel>("Image1")->setPixmap(embeddedPicture(QStringLiteral("Image1.jpg")));

    // A coarse timer may fire up to 5 % early; the blink keeps to the
    // millisecond, as the transfer's time-out does.
    m_blink = new QTimer(this);
    m_blink->setObjectName(QStringLiteral("Timer2"));
    m_blink->setTimerType(Qt::PreciseTimer);
    m_blink->setInterval(BlinkIntervalMs);
}

void Form1::connectControls()
{
    connect(m_view, &ChartView::cellClicked, this, [this](int index, Qt::KeyboardModifiers keys) {
        if (keys & Qt::ShiftModifier)
            m_commands->selectTo(index);
        else
            cellClicked(index);
    });
    connect(m_view, &ChartView::groupTabClicked, this, &Form1::groupTabClicked);
    connect(m_view, &ChartView::pageRequested, this, &Form1::pageButtonClicked);
    for (const ElementRow& row : ElementTable) {
        connect(control<QAbstractButton>(row.samePatternButton), &QAbstractButton::clicked, this,
                [this, &row] { paletteClicked(row, PaletteKind::SamePattern); });
        connect(control<QAbstractButton>(row.batchButton), &QAbstractButton::clicked, this,
                [this, &row] { paletteClicked(row, PaletteKind::Batch); });
    }
    connect(findChild<QButtonGroup*>(QStringLiteral("EditModeOptions")), &QButtonGroup::idClicked, this,
            [this](int mode) { modeClicked(EditingMode(mode)); });
    for (const RangeBox& box : RangeBoxes)
        connectChoiceBox(
            this, control<QComboBox>(box.name), m_boxes,
            [this, range = box.range](const QString& text) { rangeChosen(range, text); },
            [this, range = box.range] { return QString::number(m_state.*range + 1); });
    connectChoiceBox(
        this, m_stepCountBox, m_boxes, [this](const QString& text) { stepCountChosen(text); },
        [this] { return QString::number(m_state.StepCount); });
    connect(control<QAbstractButton>("Command6"), &QAbstractButton::clicked, this,
            [this] { pageButtonClicked(1, 0); });
    connect(control<QAbstractButton>("Command7"), &QAbstractButton::clicked, this,
            [this] { pageButtonClicked(0, 1); });
    for (const PatternSlot& slot : PatternFiles::Slots) {
        connect(control<QAbstractButton>(slot.saveButton), &QAbstractButton::clicked, m_files,
                [this, &slot] { m_files->saveSlot(slot); });
        connect(control<QAbstractButton>(slot.loadButton), &QAbstractButton::clicked, m_files,
                [this, &slot] { m_files->loadSlot(slot); });
    }
}

bool Form1::Form_Load()
{
    m_state.startUp();
    if (!m_pictures->load(m_programFolder, m_boxes))
        return false;
    control<QLabel>("Picture4")->setPixmap(m_pictures->pageStrip(0));
    m_preview->setPixmap(m_pictures->element(0));
    namePreview(m_preview, QString::fromUtf8(ElementTable[0].caption));
    DrawPage(0);
    // The chart is complete before the port is looked at; nothing above depends on it.
    startUpPortSteps();
    showStatus();
    return true;
}

void Form1::Form_Unload()
{
    shutdownPortSteps();
    m_files->keepChartAtExit();
}

void Form1::setFileDialogs(FileDialogs& dialogs)
{
    m_namedFiles->setDialogs(dialogs);
    m_printing->setDialogs(dialogs);
}

void Form1::openFile(const QString& path)
{
    m_namedFiles->openGiven(path);
}

void Form1::terminationRequested()
{
    m_terminating = true;
    if (!m_transfer->isRunning())
        return;
    m_transfer->stop();
    qWarning().noquote() << QStringLiteral("trv5kb-programmer: ") +
                                transferFailureText(TransferCause::Stopped, m_state.PortName, {});
}

bool Form1::confirmCloseDuringTransfer()
{
    return m_boxes.show(this, {QStringLiteral("TRV5KB Programmer"),
                               QStringLiteral("書込中です。終了するとコントローラーには途中までしか"
                                              "書き込まれません。終了しますか？"),
                               QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, QMessageBox::No}) ==
           QMessageBox::Yes;
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A signal while the question is open closes the box and decides for the user.
    if (m_transfer->isRunning() && !m_terminating && !confirmCloseDuringTransfer() && !m_terminating) {
        event->ignore();
        return;
    }
    m_transfer->stop();
    if (!std::exchange(m_unloaded, true))
        Form_Unload();
    event->accept();
}

QPixmap Form1::ElementPicture(const ElementCode& value) const
{
    return m_pictures->ElementPicture(value);
}

void Form1::DrawPage(int page)
{
    m_view->drawPage(page);
}

void Form1::RedrawChart()
{
    m_view->redraw();
}

void Form1::PlaceEndMarker(int page)
{
    m_view->placeEndMarker(page);
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
    m_statusLamp->setFillColor(QColor::fromRgb(QRgb(m_state.Status.lamp)));
    m_statusCaption->setText(m_state.Status.caption);
    nameStatus(m_statusCaption, m_state.Status.caption);
    m_statusCaption->setToolTip(m_state.Status.lamp == LampColour::Failure ? m_failureReason : QString());
}

void Form1::applyChange(const ChartChange& change, ChartEditCommand::Show show)
{
    change.applyTo(m_state.PatternData, m_state.StepCount);
    if (show == ChartEditCommand::Show::WhereItWent)
        if (const std::optional<ChartCell> first = change.firstCell()) {
            const int group = first->channel / ChannelsPerGroup;
            if (group != m_state.CurrentGroup)
                showGroup(group);
            const int page = first->step / StepsPerPage;
            if (page != m_state.CurrentPage && switchPage(m_state, m_state.CurrentPage, page))
                showPage(page);
        }
    showChange(change);
}

void Form1::showChange(const ChartChange& change)
{
    for (const CellEdit& edit : change.cells)
        m_view->paintCell(edit.cell, edit.after);
    if (change.stepCount) {
        if (m_state.CurrentPage == 0 || m_state.CurrentPage == 1)
            PlaceEndMarker(m_state.CurrentPage);
        showInComboBox(m_stepCountBox, QString::number(m_state.StepCount));
    }
}

void Form1::takeLoadedChart(const PatternFileContent& content, const QString& text)
{
    m_commands->edit(
        ChartChange::between(m_state.PatternData, m_state.StepCount, content.chart, content.stepCount), text);
}

void Form1::cellClicked(int index)
{
    if (!StatusReset())
        return;
    m_view->clearSelection();
    m_commands->edit(cellClick(m_state, index), QStringLiteral("セルの変更"));
}

void Form1::paletteClicked(const ElementRow& row, PaletteKind palette)
{
    if (!StatusReset())
        return;
    if (palette == PaletteKind::SamePattern) {
        if (chooseElement(m_state, row.ordinal)) {
            m_preview->setPixmap(m_pictures->element(row.ordinal));
            namePreview(m_preview, QString::fromUtf8(row.caption));
        }
    } else if (std::optional<BatchFill> fill = batchFill(m_state, row.ordinal)) {
        m_state.BatchElement = fill->element;
        m_commands->edit(std::move(fill->change), QStringLiteral("一括設定"));
    }
}

void Form1::modeClicked(EditingMode mode)
{
    // The mode options act during a transfer too, so they clear the status without the busy test.
    m_state.Status = StatusDisplay{};
    showStatus();
    m_state.EditMode = mode;
}

void Form1::rangeChosen(qint16 WindowState::*range, const QString& text)
{
    if (!StatusReset())
        return;
    if (const std::optional<qint16> value = rangeChoice(text))
        m_state.*range = *value;
}

void Form1::stepCountChosen(const QString& text)
{
    if (!StatusReset())
        return;
    m_commands->edit(stepCountPick(m_state.StepCount, text), QStringLiteral("ステップ数の変更"));
}

void Form1::groupTabClicked(int group)
{
    if (!StatusReset())
        return;
    showGroup(group);
}

void Form1::showGroup(int group)
{
    m_state.CurrentGroup = qint16(group);
    m_view->showGroup(group);
}

void Form1::pageButtonClicked(int from, int to)
{
    if (!StatusReset())
        return;
    if (switchPage(m_state, from, to))
        showPage(to);
}

void Form1::showPage(int page)
{
    m_view->showPage(page);
}

void Form1::connectTransfer()
{
    m_transfer = new ControllerTransfer(std::make_unique<PortLine>(), this);
    connect(control<QAbstractButton>("Command1"), &QAbstractButton::clicked, this,
            [this] { writeClicked(); });
    connect(m_transfer, &ControllerTransfer::started, this, [this] { transferStarted(); });
    connect(m_transfer, &ControllerTransfer::progress, this,
            [this](int records) { m_state.RecordIndex = qint16(records); });
    connect(m_transfer, &ControllerTransfer::finished, this,
            [this](TransferEnd end, TransferCause, const QString& reason) { transferFinished(end, reason); });
    connect(m_blink, &QTimer::timeout, this, [this] { blinkTicked(); });
}

void Form1::setSerialLine(std::unique_ptr<SerialLine> line)
{
    m_transfer->setLine(std::move(line));
}

void Form1::writeClicked()
{
    m_transfer->start(m_state.PatternData, m_state.StepCount);
}

void Form1::transferStarted()
{
    m_state.BusyFlag = QStringLiteral("1");
    m_state.Status = {LampColour::Busy, QStringLiteral("処理中")};
    m_blink->start();
    showStatus();
}

void Form1::transferFinished(TransferEnd end, const QString& reason)
{
    m_blink->stop();
    m_state.BusyFlag = QStringLiteral("0");
    if (end == TransferEnd::Success) {
        m_state.Status = {LampColour::Success, QStringLiteral("成功")};
    } else {
        m_state.Status = {LampColour::Failure, QStringLiteral("失敗")};
        m_failureReason = reason;
    }
    showStatus();
}

// Toggles between the two running colours and leaves any other alone: a mode
// option clicked during a transfer turns the lamp white, and it stays white.
void Form1::blinkTicked()
{
    quint32& lamp = m_state.Status.lamp;
    if (lamp == LampColour::Busy)
        lamp = LampColour::BusyBlink;
    else if (lamp == LampColour::BusyBlink)
        lamp = LampColour::Busy;
    showStatus();
}

void Form1::connectPort()
{
    auto* box = control<ChoiceBox>("Comportbox");
    m_portPicker = new PortPicker(box, m_state.PortName, *m_transfer, m_boxes, this);
    connectChoiceBox(
        this, box, m_boxes,
        [this, box](const QString& port) {
            showInComboBox(box, port);
            portChosen();
        },
        [this] { return m_portPicker->portShown(); });
}

void Form1::setSerialDeviceList(SerialDeviceList list)
{
    m_portPicker->setSerialDeviceList(list);
    m_transfer->setSerialDeviceList(std::move(list));
}

void Form1::startUpPortSteps()
{
    m_portPicker->startUp(m_programFolder, m_configFolder);
}

void Form1::portChosen()
{
    // A pick refused during a transfer leaves the port in use showing, which is also what
    // shutdown stores.
    if (StatusReset())
        m_portPicker->takePortShown();
}

void Form1::shutdownPortSteps()
{
    m_portPicker->shutDown();
    m_transfer->closeLine();
}
