#include "app/PortPicker.h"

#include "app/Controls.h"
#include "app/MessageBoxes.h"
#include "serial/PortName.h"
#include "transfer/ControllerTransfer.h"

#include <QAbstractItemView>
#include <QDebug>
#include <QDir>
#include <QScrollBar>
#include <QSignalBlocker>

namespace {
const QString SettingSection = QStringLiteral("Setting");
const QString PortKey = QStringLiteral("comport");
const QString Choose = QStringLiteral("選択");
} // namespace

PortPicker::PortPicker(ChoiceBox* box, QString& portName, ControllerTransfer& transfer, MessageBoxes& boxes,
                       QObject* parent)
    : QObject(parent), m_box(box), m_portName(portName), m_transfer(transfer), m_boxes(boxes)
{
    connect(m_box, &ChoiceBox::aboutToShowPopup, this, [this] { refreshList(); });
    // Asking the system for its devices may take a good part of a second where
    // it has no device manager, so the tool tip follows the value shown from
    // the list as last looked up, not from a new look-up at every key.
    connect(m_box, &QComboBox::currentTextChanged, this, [this] { showPortDevice(); });
}

void PortPicker::readSettings(const QString& programFolder, const QString& configFolder)
{
    m_settings = SettingsLocation::find(programFolder, configFolder);
    m_storedPort = m_settings.value(PortKey, SettingSection);
}

void PortPicker::gatherDevices()
{
    m_presentDevices = m_serialDevices();
}

void PortPicker::startUp(const QString& programFolder, const QString& configFolder)
{
    readSettings(programFolder, configFolder);
    // A stored device path that is present then starts on its list item.
    refreshList();
    showInComboBox(m_box, m_storedPort);
    if (m_box->currentText() == Choose) {
        // No port is configured until the user picks one.
        m_boxes.show(m_box->window(),
                     {QStringLiteral("COMポートの選択"), QStringLiteral("COMポートを選択してください"),
                      QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok});
        return;
    }
    takePortShown();
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

// Only the items after COM20 change, and only outside Windows, whose serial
// ports are the COMn themselves. The value shown stays as it was.
void PortPicker::refreshList()
{
    gatherDevices();
    const QList<SerialDevice>& present = m_presentDevices;
    const QString shown = m_box->currentText();
    {
        const QSignalBlocker quiet(m_box);
#ifndef Q_OS_WIN
        while (m_box->count() > HighestComPort)
            m_box->removeItem(HighestComPort);
        for (const SerialDevice& device : present) {
            m_box->addItem(device.path);
            m_box->setItemData(m_box->count() - 1, deviceDetails(device), Qt::ToolTipRole);
        }
#endif
        for (int item = 0; item < HighestComPort; ++item)
            m_box->setItemData(item, portNameToolTip(m_box->itemText(item), m_settings, present),
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
    m_box->setToolTip(portNameToolTip(m_box->currentText(), m_settings, m_presentDevices));
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
