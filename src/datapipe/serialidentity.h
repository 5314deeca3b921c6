#pragma once
#include <QString>

// Which serial device a port opened, so that it can be found again after it went
// away: a USB adapter by its stable by-id link, else by its serial number, even when
// it comes back under another ttyUSB/ttyACM number; any other device (a
// pseudo-terminal, /dev/rfcomm0, a link the user typed) by its path.
class SerialIdentity {
public:
    static constexpr const char *ByIdFolder = "/dev/serial/by-id";

    SerialIdentity() = default;
    // Taken while the device is present; byIdFolder is where its stable links are.
    explicit SerialIdentity(const QString &device, const QString &byIdFolder = ByIdFolder);

    // Where the device is now, or "" while it is away. Cheap enough for a look a second.
    QString Find() const;
    // How the Debug window names it.
    QString Name() const { return ById.isEmpty() ? Path : ById; }

private:
    QString Path, ById, SerialNumber;
    quint16 Vendor = 0, Product = 0;
};
