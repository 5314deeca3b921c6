#pragma once
#include "datapipe/qtserialdriver.h"
#include <functional>

// The device each COM number opens, as the windows' thread knows it, for the
// configuration dialog: the choices made there, each handed on to the session by
// Chosen, and the moves the session reported (an adapter back under another name).
class PortChoices : public PortTable {
public:
    explicit PortChoices(std::function<void(int port, const QString &device)> chosen) : Chosen(std::move(chosen)) {}

    QString PortDevice(int port) const override
    {
        const QString chosen = Devices.value(port);
        return chosen.isEmpty() ? QtSerialDriver::DefaultDevice(port) : chosen;
    }
    void SetPortDevice(int port, const QString &device) override
    {
        Moved(port, device);
        Chosen(port, device);
    }
    void Moved(int port, const QString &device)
    {
        if (port >= 1 && port <= QtSerialDriver::PortCount)
            Devices[port] = device;
    }

private:
    std::function<void(int, const QString &)> Chosen;
    QList<QString> Devices = QList<QString>(QtSerialDriver::PortCount + 1);
};
