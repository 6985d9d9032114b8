#include "app/Controls.h"
#include "app/Form1.h"
#include "app/PortPicker.h"
#include "transfer/ControllerTransfer.h"

void Form1::connectPort()
{
    auto* box = control<ChoiceBox>("Comportbox");
    m_portPicker = new PortPicker(box, m_state.PortName, *m_transfer, m_boxes, this);
    connect(box, &QComboBox::activated, this, [this] { portChosen(); });
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
    if (!StatusReset()) {
        m_portPicker->showPortInUse();
        return;
    }
    m_portPicker->takePortShown();
}

void Form1::shutdownPortSteps()
{
    m_portPicker->shutDown();
    m_transfer->closeLine();
}
