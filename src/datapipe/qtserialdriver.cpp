#include "datapipe/qtserialdriver.h"
#include "datapipe/serialresult.h"
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTimer>
#include <algorithm>
#include <tuple>

using namespace SerialResult;

namespace {

const qint32 Bauds[] = {9600, 19200, 38400, 57600, 115200};
const int FirstSpeedCode = 7;
// The line format values of the driver's encoding that stand for no parity, 8 data bits, 1 stop bit.
const int NoParity = 0, EightDataBits = 3, OneStopBit = 0;

int OpenResult(const QSerialPort &port, const QString &device)
{
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return NoSuchPort;
    case QSerialPort::PermissionError: {
        // Qt also reports a port locked or held exclusively by another program this
        // way; if its permissions would let us in, someone else has it.
#ifdef Q_OS_WIN
        Q_UNUSED(device);
        return PortBusy;
#else
        const QFileInfo info(device);
        return info.isReadable() && info.isWritable() ? PortBusy : PermissionDenied;
#endif
    }
    default:
        return IoError;
    }
}

// Sorts USB adapters first, then by name with the trailing number compared as a
// number, so that ttyUSB2 comes before ttyUSB10.
std::tuple<bool, QString, int> SortKey(const QString &device)
{
    const bool usb = device.contains(QLatin1String("ttyUSB")) || device.contains(QLatin1String("ttyACM"));
    qsizetype digits = device.size();
    while (digits > 0 && device.at(digits - 1).isDigit())
        --digits;
    return {!usb, device.left(digits), device.mid(digits).toInt()};
}

// Closing drops the port's buffer, so what it holds is kept first. On a hang-up the
// system has already discarded the line's input: the buffer is all there is.
void KeepAndClose(QByteArray &left, QSerialPort &port)
{
    if (!port.isOpen())
        return;
    left += port.readAll();
    port.close();
}

} // namespace

QtSerialDriver::QtSerialDriver(QObject *parent) : QObject(parent) {}

void QtSerialDriver::SetPortDevice(int port, const QString &device)
{
    if (port >= 1 && port <= PortCount)
        Slots[port - 1].Device = device;
}

QString QtSerialDriver::PortDevice(int port) const
{
    if (port < 1 || port > PortCount)
        return QString();
    return Slots[port - 1].Device.isEmpty() ? DefaultDevice(port) : Slots[port - 1].Device;
}

QString QtSerialDriver::DefaultDevice(int port)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return PresentPorts().value(port - 1);
#endif
}

QStringList QtSerialDriver::PresentPorts()
{
    QStringList devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        devices << info.systemLocation();
    return SortedPorts(devices);
}

QStringList QtSerialDriver::SortedPorts(QStringList devices)
{
    std::sort(devices.begin(), devices.end(),
              [](const QString &a, const QString &b) { return SortKey(a) < SortKey(b); });
    return devices;
}

QtSerialDriver::Slot *QtSerialDriver::Usable(int port, int &result)
{
    if (port < 1 || port > PortCount) {
        result = BadArgument;
        return nullptr;
    }
    Slot *slot = &Slots[port - 1];
    result = !slot->Port ? PortNotOpen : slot->Lost ? PortLost : Success;
    return result == Success ? slot : nullptr;
}

QtSerialDriver::Slot *QtSerialDriver::LostSlot(int port)
{
    if (port < 1 || port > PortCount || !Slots[port - 1].Port || !Slots[port - 1].Lost)
        return nullptr;
    Slot *slot = &Slots[port - 1];
    KeepAndClose(slot->Left, *slot->Port);
    return slot;
}

void QtSerialDriver::PortError(Slot *slot, QSerialPort::SerialPortError error)
{
    // A vanished device raises these again on every event loop turn until the handle
    // is closed. Closing inside the port's own read notification would delete the
    // notifier under it, so the close runs on the next turn, or at the next call that
    // reads; calls see Lost at once.
    if ((error != QSerialPort::ReadError && error != QSerialPort::ResourceError) || slot->Lost)
        return;
    slot->Lost = true;
    QSerialPort *port = slot->Port;
    QMetaObject::invokeMethod(port, [slot, port] { KeepAndClose(slot->Left, *port); }, Qt::QueuedConnection);
}

int QtSerialDriver::InitializePort(int port, int, int, int, int, int, int, int, int)
{
    if (port < 1 || port > PortCount)
        return BadArgument;
    Slot *slot = &Slots[port - 1];
    if (slot->Port)
        return slot->Lost ? PortLost : PortBusy;
    const QString device = PortDevice(port);
    if (device.isEmpty())
        return NoSuchPort;

    auto *serial = new QSerialPort(device, this);
    serial->setBaudRate(Bauds[0]);
    serial->setDataBits(QSerialPort::Data8);
    serial->setParity(QSerialPort::NoParity);
    serial->setStopBits(QSerialPort::OneStop);
    serial->setFlowControl(QSerialPort::NoFlowControl);
    if (!serial->open(QIODevice::ReadWrite)) {
        const int result = OpenResult(*serial, device);
        delete serial;
        return result;
    }
    // Queued: reading may close a lost port, which must not happen inside the port's
    // own read notification (see PortError).
    connect(serial, &QSerialPort::readyRead, this, [this] {
        if (BytesArrived)
            BytesArrived();
    }, Qt::QueuedConnection);
    connect(serial, &QSerialPort::errorOccurred, this,
            [this, slot](QSerialPort::SerialPortError error) { PortError(slot, error); });
    slot->Port = serial;
    slot->SpeedCode = FirstSpeedCode;
    return Success;
}

int QtSerialDriver::ser_rs232_getport(int port, PortParams &params)
{
    int result;
    if (Slot *slot = Usable(port, result)) {
        params.SpeedCode = slot->SpeedCode;
        params.Parity = NoParity;
        params.DataBits = EightDataBits;
        params.StopBits = OneStopBit;
    }
    return result;
}

int QtSerialDriver::SetPortCharacteristics(int port, int speedCode, int parity, int dataBits,
                                           int stopBits, int)
{
    int result;
    Slot *slot = Usable(port, result);
    if (!slot)
        return result;
    const int speed = speedCode - FirstSpeedCode;
    if (speed < 0 || speed >= int(std::size(Bauds)) || parity != NoParity
        || dataBits != EightDataBits || stopBits != OneStopBit)
        return BadArgument;
    if (!slot->Port->setBaudRate(Bauds[speed]))
        return IoError;
    slot->SpeedCode = speedCode;
    return Success;
}

int QtSerialDriver::Check(int port)
{
    int result;
    Usable(port, result);
    return result;
}

// The driver has no timer, timeout or pacing of its own: reads never wait and
// writes leave at once, so these settings are accepted as they come.
int QtSerialDriver::CdrvSetTimerResolution(int port, int)
{
    return Check(port);
}

int QtSerialDriver::SetTimeout(int port, int)
{
    return Check(port);
}

int QtSerialDriver::SetPaceTime(int port, int)
{
    return Check(port);
}

int QtSerialDriver::Flush(int port, QSerialPort::Direction direction)
{
    int result;
    Slot *slot = Usable(port, result);
    if (!slot)
        return result;
    return slot->Port->clear(direction) ? Success : IoError;
}

int QtSerialDriver::FlushReceiveBuffer(int port)
{
    return Flush(port, QSerialPort::Input);
}

int QtSerialDriver::FlushTransmitBuffer(int port)
{
    return Flush(port, QSerialPort::Output);
}

// Received bytes are already waiting in the port's buffer; the packet call only
// tells the caller whether the port still works, or has bytes from before its loss.
int QtSerialDriver::ser_rs232_getpacket(int port, int, char *)
{
    if (const Slot *slot = LostSlot(port); slot && slot->LeftAt < slot->Left.size())
        return Success;
    return Check(port);
}

int QtSerialDriver::GetByte(int port)
{
    if (Slot *slot = LostSlot(port))
        return slot->LeftAt < slot->Left.size() ? uchar(slot->Left.at(slot->LeftAt++)) : -1;
    int result;
    Slot *slot = Usable(port, result);
    char byte;
    // Asked only when bytes wait: an empty read would set the port's notifier again each time.
    if (!slot || slot->Port->bytesAvailable() == 0 || slot->Port->read(&byte, 1) != 1)
        return -1;
    return uchar(byte);
}

int QtSerialDriver::PutByte(int port, int byte)
{
    int result;
    Slot *slot = Usable(port, result);
    if (!slot)
        return result;
    if (byte < 0 || byte > 255)
        return BadArgument;
    return slot->Port->putChar(char(byte)) ? Success : IoError;
}

int QtSerialDriver::ser_rs232_putpacket(int port, int, char *)
{
    int result;
    Slot *slot = Usable(port, result);
    if (!slot)
        return result;
    // flush() writes what the device takes now and never blocks; the rest follows
    // from the event loop.
    slot->Port->clearError();
    slot->Port->flush();
    if (slot->Lost)
        return PortLost;
    return slot->Port->error() == QSerialPort::WriteError ? IoError : Success;
}

int QtSerialDriver::SendBreak(int port, int length)
{
    int result;
    Slot *slot = Usable(port, result);
    if (!slot)
        return result;
    if (length < 1)
        return BadArgument;
    QSerialPort *serial = slot->Port;
    if (!serial->setBreakEnabled(true))
        return IoError;
    QTimer::singleShot(length * BreakUnitMs, serial, [serial] {
        if (serial->isOpen())
            serial->setBreakEnabled(false);
    });
    return Success;
}

int QtSerialDriver::UnInitializePort(int port)
{
    if (port < 1 || port > PortCount)
        return BadArgument;
    Slot *slot = &Slots[port - 1];
    if (!slot->Port)
        return PortNotOpen;
    delete slot->Port;
    slot->Port = nullptr;
    slot->Lost = false;
    slot->Left.clear();
    slot->LeftAt = 0;
    return Success;
}
