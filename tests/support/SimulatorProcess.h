#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The controller simulator run as a separate program, as a user runs it: for
// the end-to-end tests and the benchmark. It knows where the simulator was
// built and waits for the device path it prints first.
class SimulatorProcess
{
public:
    SimulatorProcess() = default;
    ~SimulatorProcess();

    // Where the simulator was built.
    static QString program();

    // Starts the simulator with `arguments`; false (with the reason in
    // errorString()) when it did not name its terminal within a few seconds.
    bool start(const QStringList& arguments);
    // The terminal to give the programmer, such as /dev/pts/5.
    QString device() const { return m_device; }
    // "[Setting] comport=COM3, [Ports] COM3=<device>": a settings file that
    // points the programmer's COM3 at the simulator.
    QByteArray settingsFile() const;
    // Everything the simulator printed on standard error so far.
    QByteArray errors();
    // Ends the simulator; its exit code, or -1 when it did not end normally.
    int stop();
    // The running program, for its output and exit status.
    QProcess& process() { return m_process; }
    QString errorString() const { return m_error; }

private:
    QProcess m_process;
    QString m_device;
    QString m_error;
};
