#include "app/Controls.h"
#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "device/CommControl.h"
#include "device/PortName.h"

#include <QComboBox>
#include <QDebug>
#include <QDir>

namespace {
const QString SettingSection = QStringLiteral("Setting");
const QString PortKey = QStringLiteral("comport");
const QString Choose = QStringLiteral("選択");
} // namespace

void Form1::connectPort()
{
    m_comportbox = control<QComboBox>("Comportbox");
    mscPort = new CommControl(SettingsLocation(), this);
    mscPort->setObjectName(QStringLiteral("mscPort"));
    // Replies come as a letter and a CR in reads of their own, so every read takes one character.
    mscPort->setInputLen(1);
    connect(m_comportbox, &QComboBox::activated, this, [this] { Comportbox_Click(); });
}

void Form1::startUpPortSteps()
{
    m_settings = SettingsLocation::find(m_programFolder, m_configFolder);
    mscPort->setSettingsLocation(m_settings);
    showInComboBox(m_comportbox, m_settings.value(PortKey, SettingSection));
    if (m_comportbox->currentText() == Choose) {
        // No port is configured until the user picks one.
        m_boxes.show(this, {QStringLiteral("COMポートの選択"), QStringLiteral("COMポートを選択してください"),
                            QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok});
        return;
    }
    configurePort();
}

void Form1::configurePort()
{
    m_state.PortName = m_comportbox->currentText();
    mscPort->setCommPort(portNumberOf(m_state.PortName));
    mscPort->setSettings(QStringLiteral("57600,n,8,1"));
    mscPort->setHandshaking(0);
    mscPort->setRTSEnable(false);
    mscPort->setSThreshold(1);
    mscPort->setRThreshold(1);
}

void Form1::Comportbox_Click()
{
    // A pick refused during a transfer leaves the port in use showing, which is also what
    // shutdown stores.
    if (!StatusReset()) {
        showInComboBox(m_comportbox, m_state.PortName);
        return;
    }
    if (mscPort->PortOpen())
        mscPort->setPortOpen(false);
    configurePort();
}

void Form1::shutdownPortSteps()
{
    m_state.PortName = m_comportbox->currentText();
    // A settings file that cannot be written must not keep the window from closing, nor
    // bother the user at that moment; a line for whoever started the program tells them.
    if (QString reason; !m_settings.store(m_state.PortName, PortKey, SettingSection, &reason))
        qWarning().noquote() << QStringLiteral(
                                    "trv5kb-programmer: ポートの設定を「%1」に保存できませんでした: %2")
                                    .arg(QDir::toNativeSeparators(m_settings.file()), reason);
    if (mscPort->PortOpen())
        mscPort->setPortOpen(false);
}
