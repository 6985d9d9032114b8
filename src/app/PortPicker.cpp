#include "app/PortPicker.h"

#include "app/Controls.h"
#include "app/MessageBoxes.h"
#include "serial/PortName.h"
#include "transfer/ControllerTransfer.h"

#include <QAbstractItemView>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>

namespace {
const QString SettingSection = QStringLiteral("Setting");
const QString PortKey = QStringLiteral("comport");
const QString Choose = QStringLiteral("選択");
} // namespace

PortPicker::PortPicker(ChoiceBox* box, QString& portName, ControllerTransfer& transfer, MessageBoxes& boxes,
                       QObject* parent)
    : QObject(parent), m_box(box), m_portName(portName), m_transfer(transfer), m_boxes(boxes)
{
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
    showInComboBox(m_box, m_lastRead.value(PortKey, SettingSection));
    // Looking at every serial device of the system costs more than the whole first picture of
    // the window, so the devices are gathered once it has been painted (and whenever the list
    // opens). A stored device path that is present then becomes its list item.
    m_box->window()->installEventFilter(this);
    if (m_box->currentText() == Choose) {
        // No port is configured until the user picks one.
        m_boxes.show(m_box->window(),
                     {QStringLiteral("COMポートの選択"), QStringLiteral("COMポートを選択してください"),
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

void PortPicker::takePortShown()
{
    m_portName = m_box->currentText();
    m_transfer.setPort(m_portName, m_settings);
}

void PortPicker::showPortInUse()
{
    showInComboBox(m_box, m_portName);
}

// Only the items after COM20 change: the devices present that are no COMn of
// the list (paths, or on Windows ports above COM20). The value shown stays as
// it was.
void PortPicker::refreshList(const SettingsSnapshot& settings)
{
    m_lastRead = settings;
    gatherDevices();
    const QList<SerialDevice>& present = m_presentDevices;
    const QString shown = m_box->currentText();
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
        for (int item = 0; item < HighestComPort; ++item)
            m_box->setItemData(item, portNameToolTip(m_box->itemText(item), settings, present),
                               Qt::ToolTipRole);
        showInComboBox(m_box, shown);
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
    m_portName = m_box->currentText();
    // A settings file that cannot be written must not keep the window from closing, nor
    // bother the user at that moment; a line for whoever started the program tells them.
    if (QString reason; !m_settings.store(m_portName, PortKey, SettingSection, &reason))
        qWarning().noquote() << QStringLiteral(
                                    "trv5kb-programmer: ポートの設定を「%1」に保存できませんでした: %2")
                                    .arg(QDir::toNativeSeparators(m_settings.file()), reason);
}
