// The main window's two links to the device: opening, events and closing of the
// serial port and of the TCP connection, and the "Configure Comms" button.
#include "app/form1.h"
#include "datapipe/form2.h"
#include "datapipe/socketcontrol.h"

namespace {
struct Speed {
    int code;
    const char *status;
};
// ComSpeed 1..5 to the driver's speed code and the status text.
const Speed Speeds[] = {{7, "9.6 kbaud"}, {8, "19.2 kbaud"}, {9, "38.4 kbaud"},
                        {10, "57.6 kbaud"}, {11, "115.2 kbaud"}};
}

void Form1::ConfigComPort_Click()
{
    if (TickBusy || ArrivalBusy) {
        Post("Com setup attempt failed, timer stopped. --> Try again !");
        StopServiceTimer();
        return;
    }
    if (EthernetOpen)
        CloseEthernet();
    else
        Winsock1Data.Close(); // a pending attempt is abandoned, so it cannot complete later
    if (ComPortOpen)
        CloseComPort();
    Text3->clear();
    Config->show();
    Config->raise();
    Config->activateWindow();
}

// ---- Serial port ------------------------------------------------------------

void Form1::InitComPort()
{
    const int port = Pipe.ComPort;
    if (port < 1 || port > 8) {
        Post("COM Port selection is invalid.");
        return;
    }
    if (ComSpeed < 1 || ComSpeed > 5) {
        Post("COM Speed selection is invalid.");
        return;
    }
    if (ComPortOpen) {
        Post("** ERROR ** COM Port already open.");
        return;
    }
    int &result = Pipe.PipeResult;
    result = Driver.InitializePort(port, port - 1, 0, 0, 9, 0, 8192, 8192, 0);
    if (result != 0) {
        Post(QString("Error initializing COM port: %1").arg(result));
        return;
    }
    result = Driver.ser_rs232_getport(port, PortParams);
    if (result != 0) {
        Post(QString("Error setting COM port parameters: %1").arg(result));
        Driver.UnInitializePort(port); // so the next try does not find the port busy
        return;
    }
    const Speed &speed = Speeds[ComSpeed - 1];
    PortParams = {speed.code, 0, 3, 0, 0};
    result = Driver.SetPortCharacteristics(port, speed.code, 0, 3, 0, 0);
    if (result != 0) {
        Post(QString("Error setting COM port characteristics: %1").arg(result));
        Driver.UnInitializePort(port);
        return;
    }
    result = Driver.CdrvSetTimerResolution(port, 1);
    if (result != 0)
        Post(QString("Error setting timer resolution: %1").arg(result));
    result = Driver.SetTimeout(port, 5);
    if (result != 0)
        Post(QString("Error setting time out: %1").arg(result));
    result = Driver.SetPaceTime(port, 0);
    if (result != 0)
        Post(QString("Error setting pace time: %1").arg(result));

    InfoLine = "COM port initialized and opened.";
    WriteTrafficLine(InfoLine);
    Text3->setText(QString("COM%1: at %2").arg(port).arg(speed.status));
    ComPortOpen = true;
    Pipe.FlushPipe();

    Inbound.Reset();
    CommFlush->setEnabled(false);
    Pipe.ResetOutPacket();
    TickBusy = false;
    StartServiceTimer();
}

void Form1::CloseComPort()
{
    StopServiceTimer();
    Pipe.PipeResult = Driver.UnInitializePort(Pipe.ComPort);
    if (Pipe.PipeResult != 0)
        Post(QString("Error: %1 closing COM port: %2").arg(Pipe.PipeResult).arg(Pipe.ComPort));
    else
        Post(QString("Closed COM port: %1").arg(Pipe.ComPort));
    ComPortOpen = false;
    TickBusy = false;
}

// An adapter pulled out would otherwise post a read error on every tick: say it
// once and close the port, as a TCP peer that goes away closes the link.
void Form1::SerialPortLost()
{
    Post(QString("COM%1 lost: the device went away. Configure Comms to open it again.").arg(Pipe.ComPort));
    CloseComPort();
    Text3->clear();
}

// ---- TCP connection ---------------------------------------------------------

void Form1::InitWinSock()
{
    ArrivalBusy = false;
    Winsock1Data.Protocol = 0;
    Winsock1Data.RemoteHost = IPAddress;
    Winsock1Data.RemotePort = PortNumber;
    Winsock1Data.Connect();
    Post("Ethernet connection pending.");
}

void Form1::Winsock1Data_Connect()
{
    Post("Ethernet connection complete.");
    EthernetOpen = true;
    Text3->setText(QString("Ethernet IP address: %1   Port number: %2").arg(IPAddress).arg(PortNumber));
    // A packet left incomplete on an earlier link must not swallow the new link's bytes.
    Inbound.Reset();
    CommFlush->setEnabled(false);
    StartServiceTimer();
}

void Form1::Winsock1Data_DataArrival(qint64 bytesTotal)
{
    if (ArrivalBusy)
        return;
    ArrivalBusy = true;
    Pipe.TakeArrival(bytesTotal);
    ProcessInbound();
    ArrivalBusy = false;
}

void Form1::Winsock1Data_ConnectFailed(const QString &reason)
{
    Post("Ethernet connection failed: " + reason);
}

void Form1::Winsock1Data_PeerClosed(const QString &reason)
{
    if (!EthernetOpen)
        return;
    StopServiceTimer();
    EthernetOpen = false;
    ArrivalBusy = false;
    Text3->clear();
    Post("Ethernet connection lost: " + reason);
}

void Form1::CloseEthernet()
{
    StopServiceTimer();
    Winsock1Data.Close();
    Post("Ethernet connection closed.");
    EthernetOpen = false;
    ArrivalBusy = false;
}
