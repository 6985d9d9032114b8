#include "app/PortPicker.h"

#include "app/Controls.h"
#include "app/FormControls.h"
#include "app/MessageBoxes.h"
#include "app/WindowContext.h"
#include "serial/PortName.h"
#include "settings/PortSettings.h"
#include "state/WindowState.h"
#include "transfer/ControllerTransfer.h"

#include <QAbstractItemView>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>

PortPicker::PortPicker(WindowContext& context, ControllerTransfer& transfer)
    : QObject(&context.window), m_context(context), m_box(context.controls.port),
      m_portName(context.state.PortName), m_transfer(transfer)
{
    m_box->takeChoices(
        m_context.boxes, [this](const QString& port) { pick(port); }, [this] { return m_portShown; });
    // The settings files are read again each time the list opens: a user may have mapped a
    // COMn to a device meanwhile.
    connect(m_box, &ChoiceBox::aboutToShowPopup, this, [this] { refreshList(m_settings.read()); });
    // Asking the system for its devices may take a good part of a second where
    // it has no device manager, so the tool tip follows the value shown from
    // the list as last looked up, not from a new look-up at every key.
    connect(m_box, &QComboBox::currentTextChanged, this, [this] { showPortDevice(); });
}

void PortPicker::gatherDevices()
{
    m_presentDevices = m_serialDevices();
}

void PortPicker::startUp(const QString& programFolder, const QString& configFolder)
{
    // The one reading of the settings files at start-up; every look-up until the list is
    // first opened answers from it.
    m_settings = SettingsLocation::find(programFolder, configFolder);
    m_lastRead = m_settings.read();
    m_portShown = PortSettings::windowPort(m_lastRead);
    showInComboBox(m_box, m_portShown);
    // Looking at every serial device of the system costs more than the whole first picture of
    // the window, so the devices are gathered once it has been painted (and whenever the list
    // opens). A stored device path that is present then becomes its list item.
    m_box->window()->installEventFilter(this);
    if (m_box->currentText() == PortSettings::AskForPort) {
        // No port is configured until the user picks one.
        m_context.boxes.show(m_box->window(), {QStringLiteral("COMポートの選択"),
                                               QStringLiteral("COMポートを選択してください"),
                                               QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok});
        return;
    }
    takePortShown();
}

bool PortPicker::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && watched == m_box->window()) {
        watched->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] { refreshList(m_lastRead); });
    }
    return QObject::eventFilter(watched, event);
}

void PortPicker::pick(const QString& port)
{
    // A pick refused during a transfer leaves the port in use showing, which is also what
    // shutdown stores.
    if (!m_context.opening())
        return;
    showInComboBox(m_box, port);
    takePortShown();
}

void PortPicker::takePortShown()
{
    m_portShown = m_box->currentText();
    m_portName = m_portShown;
    m_transfer.setPort(m_portName, m_settings);
}

// Only the items after COM20 change: the devices present that are no COMn of
// the list (paths, or on Windows ports above COM20), and a network port stored
// as the window's port. The value shown stays as it was.
void PortPicker::refreshList(const SettingsSnapshot& settings)
{
    m_lastRead = settings;
    gatherDevices();
    const QList<SerialDevice>& present = m_presentDevices;
    {
        const QSignalBlocker quiet(m_box);
        while (m_box->count() > HighestComPort)
            m_box->removeItem(HighestComPort);
        for (const SerialDevice& device : present) {
            if (portNumberOf(device.path) != 0)
                continue;
            m_box->addItem(device.path);
            m_box->setItemData(m_box->count() - 1, deviceDetails(device), Qt::ToolTipRole);
        }
        // A network port stored as the window's port is no device the system lists; it is
        // listed all the same, so that a pick of another port can be taken back.
        if (const QString stored = PortSettings::windowPort(settings); isNetworkPort(stored)) {
            m_box->addItem(stored);
            m_box->setItemData(m_box->count() - 1, portNameToolTip(stored, settings, present),
                               Qt::ToolTipRole);
        }
        for (int item = 0; item < HighestComPort; ++item)
            m_box->setItemData(item, portNameToolTip(m_box->itemText(item), settings, present),
                               Qt::ToolTipRole);
        showInComboBox(m_box, m_portShown);
    }
    // The box is narrow; its open list is as wide as its longest item, so paths show whole.
    QAbstractItemView* list = m_box->view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() +
                          2 * list->frameWidth());
    showPortDevice();
}

void PortPicker::showPortDevice()
{
    m_box->setToolTip(portNameToolTip(m_box->currentText(), m_lastRead, m_presentDevices));
}

void PortPicker::shutDown()
{
    m_portName = m_portShown;
    // A settings file that cannot be written must not keep the window from closing, nor
    // bother the user at that moment; a line for whoever started the program tells them.
    if (const Result<> stored = PortSettings::storeWindowPort(m_settings, m_portShown); !stored)
        qWarning().noquote() << QStringLiteral("ポートの設定を「%1」に保存できませんでした: %2")
                                    .arg(QDir::toNativeSeparators(m_settings.storeFile()), stored.reason());
}
