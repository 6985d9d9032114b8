#include "app/Controls.h"
#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "serial/PortName.h"
#include "transfer/ControllerTransfer.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QScrollBar>
#include <QSignalBlocker>

namespace {
const QString SettingSection = QStringLiteral("Setting");
const QString PortKey = QStringLiteral("comport");
const QString Choose = QStringLiteral("選択");
} // namespace

void Form1::connectPort()
{
    m_portBox = control<QComboBox>("Comportbox");
    connect(m_portBox, &QComboBox::activated, this, [this] { portChosen(); });
    connect(control<ChoiceBox>("Comportbox"), &ChoiceBox::aboutToShowPopup, this,
            [this] { refreshPortList(); });
    // Asking the system for its devices may take a good part of a second where
    // it has no device manager, so the tool tip follows the value shown from
    // the list as last looked up, not from a new look-up at every key.
    connect(m_portBox, &QComboBox::currentTextChanged, this, [this] { showPortDevice(); });
}

void Form1::startUpPortSteps()
{
    m_settings = SettingsLocation::find(m_programFolder, m_configFolder);
    // A stored device path that is present then starts on its list item.
    refreshPortList();
    showInComboBox(m_portBox, m_settings.value(PortKey, SettingSection));
    if (m_portBox->currentText() == Choose) {
        // No port is configured until the user picks one.
        m_boxes.show(this, {QStringLiteral("COMポートの選択"), QStringLiteral("COMポートを選択してください"),
                            QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok});
        return;
    }
    configurePort();
}

void Form1::configurePort()
{
    m_state.PortName = m_portBox->currentText();
    m_transfer->setPort(m_state.PortName, m_settings);
}

// Only the items after COM20 change, and only outside Windows, whose serial
// ports are the COMn themselves. The value shown stays as it was.
void Form1::refreshPortList()
{
    m_presentDevices = m_serialDevices();
    const QList<SerialDevice>& present = m_presentDevices;
    const QString shown = m_portBox->currentText();
    {
        const QSignalBlocker quiet(m_portBox);
#ifndef Q_OS_WIN
        while (m_portBox->count() > HighestComPort)
            m_portBox->removeItem(HighestComPort);
        for (const SerialDevice& device : present) {
            m_portBox->addItem(device.path);
            m_portBox->setItemData(m_portBox->count() - 1, deviceDetails(device), Qt::ToolTipRole);
        }
#endif
        for (int item = 0; item < HighestComPort; ++item)
            m_portBox->setItemData(item, portNameToolTip(m_portBox->itemText(item), m_settings, present),
                                   Qt::ToolTipRole);
        showInComboBox(m_portBox, shown);
    }
    // The box is narrow; its open list is as wide as its longest item, so paths show whole.
    QAbstractItemView* list = m_portBox->view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() +
                          2 * list->frameWidth());
    showPortDevice();
}

void Form1::showPortDevice()
{
    m_portBox->setToolTip(portNameToolTip(m_portBox->currentText(), m_settings, m_presentDevices));
}

void Form1::portChosen()
{
    // A pick refused during a transfer leaves the port in use showing, which is also what
    // shutdown stores.
    if (!StatusReset()) {
        showInComboBox(m_portBox, m_state.PortName);
        return;
    }
    configurePort();
}

void Form1::shutdownPortSteps()
{
    m_state.PortName = m_portBox->currentText();
    // A settings file that cannot be written must not keep the window from closing, nor
    // bother the user at that moment; a line for whoever started the program tells them.
    if (QString reason; !m_settings.store(m_state.PortName, PortKey, SettingSection, &reason))
        qWarning().noquote() << QStringLiteral(
                                    "trv5kb-programmer: ポートの設定を「%1」に保存できませんでした: %2")
                                    .arg(QDir::toNativeSeparators(m_settings.file()), reason);
    m_transfer->closeLine();
}

void Form1::setSerialDeviceList(SerialDeviceList list)
{
    m_serialDevices = list;
    m_transfer->setSerialDeviceList(std::move(list));
}
