#include "app/Form1.h"

#include "app/Announcer.h"
#include "app/ChartCommands.h"
#include "app/ChartGrid.h"
#include "app/ChartPrinting.h"
#include "app/ChartView.h"
#include "app/ComposeCommands.h"
#include "app/ControlAccess.h"
#include "app/ControlFactory.h"
#include "app/Controls.h"
#include "app/ElementPictures.h"
#include "app/Layout.h"
#include "app/MessageBoxes.h"
#include "app/NamedFiles.h"
#include "app/PatternFiles.h"
#include "app/PortPicker.h"
#include "app/StatusLamp.h"
#include "app/WindowContext.h"
#include "app/WindowShortcuts.h"
#include "edit/CellClick.h"
#include "edit/Choices.h"
#include "edit/PageSwitch.h"
#include "model/ChartDocument.h"
#include "model/ChartHistory.h"
#include "serial/PortLine.h"
#include "transfer/ControllerTransfer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDebug>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <utility>

Form1::Form1(const QString& programFolder, const QString& configFolder, const QString& dataFolder,
             MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent), m_programFolder(programFolder), m_configFolder(configFolder),
      m_document(new ChartDocument(this)), m_history(new ChartHistory(*m_document, this))
{
    installFontFallback();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("TRV5KB Programmer"));
    // Read as PNG by Qt's own reader: a QIcon made from the file name would first ask every image
    // plug-in whether the file is theirs, loading each. The @2x mark, as for a file name, only
    // where the screens are of high resolution.
    QIcon mark(QPixmap(QStringLiteral(":/embedded/icon.png"), "PNG"));
    if (qApp->devicePixelRatio() > 1)
        mark.addPixmap(QPixmap(QStringLiteral(":/embedded/icon@2x.png"), "PNG"));
    setWindowIcon(mark);
    setFixedSize(pixelRect(Layout::ClientArea).size());
    setFont(layoutFont(Layout::DefaultFont));
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor::fromRgb(Layout::Navy));
    setPalette(background);
    setAutoFillBackground(true);

    m_pictures = std::make_unique<ElementPictures>(this);
    buildControls();
    m_shortcuts = new WindowShortcuts(this);
    m_announcer = new Announcer(this);
    m_lamp = new StatusLamp(m_controls.statusLamp, m_controls.statusCaption, m_state.Status, this);
    m_context = std::make_unique<WindowContext>(*this, m_controls, m_state, *m_document, *m_history, boxes,
                                                *m_shortcuts, *m_announcer, *m_lamp);
    m_view = new ChartView(*m_context, m_grid, *m_pictures);
    applyTabOrder(m_controls, m_grid);
    nameControls(this, m_controls, m_grid, m_state);

    m_commands = new ChartCommands(*m_context, *m_view);
    m_files = new PatternFiles(*m_context, dataFolder);
    m_namedFiles = new NamedFiles(*m_context, configFolder);
    m_printing = new ChartPrinting(*m_context, *m_namedFiles);
    m_compose = new ComposeCommands(*m_context, *m_view);
    m_commands->setMenuExtension([this](QMenu& menu, bool idle, ChartCell cell) {
        m_compose->addMenuItems(menu, idle, cell);
        menu.addSeparator();
        m_namedFiles->addMenuItems(menu, idle);
        menu.addSeparator();
        m_printing->addMenuItems(menu, idle);
        menu.addSeparator();
        m_files->addMenuItems(menu, idle);
    });
    connectControls();
    connectTransfer();
    m_portPicker = new PortPicker(*m_context, *m_transfer);
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    QWidget* frame = nullptr;
    auto createContainer = [&](Layout::Container container, QWidget* parent, double dx, double dy,
                               auto&& betweenPasses) {
        for (bool onSurface : {true, false}) {
            for (const Layout::Control& row : Layout::controls())
                if (row.container == container && drawnOnContainer(row.kind) == onSurface) {
                    QWidget* control = createControl(row, parent, dx, dy);
                    if (row.kind == Layout::Kind::Frame)
                        frame = control;
                }
            if (onSurface)
                betweenPasses();
        }
    };

    // The chart's page of cells lies in front of the panel and the end marker, behind nothing.
    createContainer(Layout::Container::Window, this, 0, 0, [&] {
        m_grid = new ChartGrid(this, *m_document, m_state, *m_pictures);
        m_grid->setObjectName(QStringLiteral("Picture1"));
    });
    createContainer(Layout::Container::Frame, frame, Layout::FrameLeft, Layout::FrameTop, [] {});
    m_controls = FormControls::find(this);

    m_controls.preview->setPixmap(embeddedPicture(QStringLiteral("Picture2.jpg")));
    m_controls.pageStrip->setPixmap(embeddedPicture(QStringLiteral("Picture4.jpg")));
    m_controls.logo->setPixmap(embeddedPicture(QStringLiteral("Image1.jpg")));
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
        connect(m_controls.samePatternPalette[std::size_t(row.ordinal)], &QAbstractButton::clicked, this,
                [this, &row] { paletteClicked(row, PaletteKind::SamePattern); });
        connect(m_controls.batchPalette[std::size_t(row.ordinal)], &QAbstractButton::clicked, this,
                [this, &row] { paletteClicked(row, PaletteKind::Batch); });
    }
    connect(m_controls.modeGroup, &QButtonGroup::idClicked, this,
            [this](int mode) { modeClicked(EditingMode(mode)); });
    const struct
    {
        ChoiceBox* box;
        qint16 WindowState::*range;
    } rangeBoxes[] = {{m_controls.batchChannel, &WindowState::BatchChannel},
                      {m_controls.batchFromStep, &WindowState::BatchFromStep},
                      {m_controls.batchToStep, &WindowState::BatchToStep}};
    for (const auto& box : rangeBoxes)
        box.box->takeChoices(
            m_context->boxes, [this, range = box.range](const QString& text) { rangeChosen(range, text); },
            [this, range = box.range] { return QString::number(m_state.*range + 1); });
    m_controls.stepCount->takeChoices(
        m_context->boxes, [this](const QString& text) { stepCountChosen(text); },
        [this] { return QString::number(m_document->StepCount()); });
    // The box follows the step count, whichever edit or step of the history sets it.
    connect(
        m_document, &ChartDocument::stepCountChanged, m_controls.stepCount,
        [box = m_controls.stepCount](qint16 stepCount) { showInComboBox(box, QString::number(stepCount)); });
    connect(m_controls.previousPage, &QAbstractButton::clicked, this, [this] { pageButtonClicked(1, 0); });
    connect(m_controls.nextPage, &QAbstractButton::clicked, this, [this] { pageButtonClicked(0, 1); });
}

bool Form1::Form_Load()
{
    m_state.startUp();
    if (!m_pictures->load(m_programFolder, m_context->boxes))
        return false;
    m_controls.pageStrip->setPixmap(m_pictures->pageStrip(0));
    m_controls.preview->setPixmap(m_pictures->element(0));
    namePreview(m_controls.preview, QString::fromUtf8(ElementTable[0].caption));
    m_view->DrawPage(0);
    // The chart is complete before the port is looked at; nothing above depends on it.
    m_portPicker->startUp(m_programFolder, m_configFolder);
    m_lamp->show();
    return true;
}

void Form1::Form_Unload()
{
    m_portPicker->shutDown();
    m_transfer->closeLine();
    m_files->keepChartAtExit();
}

void Form1::setFileDialogs(FileDialogs& dialogs)
{
    m_context->setDialogs(dialogs);
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
    qWarning().noquote() << transferFailureText(TransferCause::Stopped, m_state.PortName, {});
}

bool Form1::confirmCloseDuringTransfer()
{
    return m_context->boxes.show(this, {QStringLiteral("TRV5KB Programmer"),
                                        QStringLiteral("書込中です。終了するとコントローラーには途中までしか"
                                                       "書き込まれません。終了しますか？"),
                                        QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No,
                                        QMessageBox::No}) == QMessageBox::Yes;
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

bool Form1::StatusReset()
{
    return m_context->opening();
}

void Form1::cellClicked(int index)
{
    if (!StatusReset())
        return;
    m_view->clearSelection();
    m_history->edit(cellClick(m_document->PatternData(), m_document->StepCount(), m_state, index),
                    QStringLiteral("セルの変更"));
}

void Form1::paletteClicked(const ElementRow& row, PaletteKind palette)
{
    if (!StatusReset())
        return;
    if (palette == PaletteKind::SamePattern) {
        const std::optional<int> before = m_state.SelectedElement.ordinal();
        if (chooseElement(m_state, row.ordinal)) {
            m_controls.preview->setPixmap(m_pictures->element(row.ordinal));
            namePreview(m_controls.preview, QString::fromUtf8(row.caption));
            tellPaletteChoice(m_controls, before.value_or(-1), row.ordinal);
        }
    } else if (std::optional<BatchFill> fill = batchFill(m_document->PatternData(), m_state, row.ordinal)) {
        m_state.BatchElement = fill->element;
        m_history->edit(std::move(fill->change), QStringLiteral("一括設定"));
    }
}

void Form1::modeClicked(EditingMode mode)
{
    // The mode options act during a transfer too, so they clear the status without the busy test.
    m_state.Status = StatusDisplay{};
    m_lamp->show();
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
    m_history->edit(stepCountPick(m_document->StepCount(), text), QStringLiteral("ステップ数の変更"));
}

void Form1::groupTabClicked(int group)
{
    if (!StatusReset())
        return;
    m_view->showGroup(group);
}

void Form1::pageButtonClicked(int from, int to)
{
    if (!StatusReset())
        return;
    if (switchPage(m_state, from, to))
        m_view->showPage(to);
}

void Form1::connectTransfer()
{
    m_transfer = new ControllerTransfer(std::make_unique<PortLine>(), this);
    connect(m_controls.write, &QAbstractButton::clicked, this, [this] { writeClicked(); });
    // Keys for 書込 and for the port box, wherever the keyboard is. The focus goes to the
    // button first, as a click takes it, so that a port typed into its box counts.
    m_shortcuts->add({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
                     [this] {
                         m_controls.write->setFocus(Qt::ShortcutFocusReason);
                         m_controls.write->click();
                     });
    m_shortcuts->add({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)},
                     [this] { m_controls.port->setFocus(Qt::ShortcutFocusReason); });
    connect(m_transfer, &ControllerTransfer::started, this, [this] { transferStarted(); });
    connect(m_transfer, &ControllerTransfer::progress, this,
            [this](int records) { m_state.RecordIndex = qint16(records); });
    connect(m_transfer, &ControllerTransfer::finished, this,
            [this](TransferEnd end, TransferCause, const QString& reason) { transferFinished(end, reason); });
}

void Form1::setSerialLine(std::unique_ptr<SerialLine> line)
{
    m_transfer->setLine(std::move(line));
}

void Form1::writeClicked()
{
    m_transfer->start(m_document->PatternData(), m_document->StepCount());
}

void Form1::transferStarted()
{
    m_state.BusyFlag = QStringLiteral("1");
    m_state.Status = {LampColour::Busy, QStringLiteral("処理中")};
    m_lamp->startBlinking();
    m_lamp->show();
}

void Form1::transferFinished(TransferEnd end, const QString& reason)
{
    m_lamp->stopBlinking();
    m_state.BusyFlag = QStringLiteral("0");
    if (end == TransferEnd::Success) {
        m_state.Status = {LampColour::Success, QStringLiteral("成功")};
    } else {
        m_state.Status = {LampColour::Failure, QStringLiteral("失敗")};
        m_lamp->setFailureReason(reason);
    }
    m_lamp->show();
}

void Form1::setSerialDeviceList(SerialDeviceList list)
{
    m_portPicker->setSerialDeviceList(list);
    m_transfer->setSerialDeviceList(std::move(list));
}
