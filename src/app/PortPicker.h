#pragma once

#include "serial/SerialDevices.h"
#include "settings/SettingsLocation.h"

#include <QList>
#include <QObject>
#include <QString>

class ChoiceBox;
class ControllerTransfer;
class WindowContext;

// The port picker `Comportbox` of the window: the port stored in the settings
// file shown at start-up and stored again at shutdown, a pick from the list
// or typed (refused while a transfer runs), the serial devices present listed
// after COM20, and tool tips that name the device behind a port. It tells the
// transfer which port to use, and keeps the window's port in use.
class PortPicker : public QObject
{
    Q_OBJECT

public:
    PortPicker(WindowContext& context, ControllerTransfer& transfer);

    // Where the list learns which serial devices are present; the system's list unless set.
    void setSerialDeviceList(SerialDeviceList list) { m_serialDevices = std::move(list); }

    // Start-up: shows the port stored in the settings files of a program in
    // `programFolder` for a user whose configuration folder is `configFolder`,
    // and takes it as the port in use, or asks for one when the files say "選択".
    void startUp(const QString& programFolder, const QString& configFolder);
    // Shutdown: stores the port shown.
    void shutDown();

    // What the box shows while nobody types in it, and what shutdown stores: the
    // port picked last, or before any pick the value the settings file holds
    // (which may be no port, such as "選択" or "ERROR").
    const QString& portShown() const { return m_portShown; }

protected:
    // The window's first paint, after which the devices are gathered.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The handler of a pick: the port picked is the port in use from now on,
    // unless a transfer runs.
    void pick(const QString& port);
    // The port shown is the port in use from now on.
    void takePortShown();
    // The one place that asks the system for its devices.
    void gatherDevices();
    // The devices present, listed after COM20, and the tool tips of the COMn
    // items from `settings`: after the first paint and each time the list opens.
    void refreshList(const SettingsSnapshot& settings);
    // The box's tool tip names the device behind the value it shows.
    void showPortDevice();

    WindowContext& m_context;
    ChoiceBox* m_box;
    QString& m_portName;
    QString m_portShown;
    ControllerTransfer& m_transfer;
    SettingsLocation m_settings;
    // What the settings files held when last read, for the tool tips.
    SettingsSnapshot m_lastRead;
    SerialDeviceList m_serialDevices = presentSerialDevices;
    // The devices present when the list was last looked up.
    QList<SerialDevice> m_presentDevices;
};
