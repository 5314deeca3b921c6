// Reconnect When Lost over real links: a loopback TCP server that goes away and comes
// back while a script runs, a pseudo-terminal pulled out and put back behind the path
// the user typed, and an adapter found again by its stable by-id link.
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <termios.h>

#include "app/session.h"
#include "datapipe/qtserialdriver.h"
#include "datapipe/serialidentity.h"
#include "datapipe/tcpsocketcontrol.h"
#include "fakesocketcontrol.h"
#include "pseudoterminal.h"

namespace {
constexpr int WaitMs = 10000; // only bounds a hung test; nothing is timed

QStringList LogLines(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).split("\r\n").mid(6) : QStringList();
}
QStringList Marker(const QString &marker) { return {"", marker, ""}; }
}

class TestReconnect : public QObject {
    Q_OBJECT
private slots:
    // The device closes the link mid-packet after the script's first command and nobody
    // listens until two tries failed; the script waits and goes on. The second time the
    // script is aborted during the gap and sends nothing once the link is back.
    void ethernetComesBackAndTheScriptGoesOn()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("r.log"), script = dir.filePath("s.dwn");
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("01\r\n02\r\n03\r\n") > 0);
        file.close();
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const quint16 port = server.serverPort();
        QList<QByteArray> received; // per connection
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *peer = server.nextPendingConnection();
            received << QByteArray();
            connect(peer, &QTcpSocket::readyRead, this, [&, peer, n = received.size() - 1] {
                received[n] += peer->readAll();
                if (n < 2 && received[n].endsWith('\x01')) { // the script's first command: the device goes away
                    if (n == 0) {
                        peer->write("\x04\x01"); // a packet cut short
                        server.close();
                    }
                    peer->disconnectFromHost();
                }
            });
        });

        QtSerialDriver driver;
        TcpSocketControl socket;
        Session s(driver, socket);
        QStringList debug, status;
        QString scriptStatus;
        connect(&s, &Session::DebugLine, this, [&](const QString &line) { debug << line; });
        connect(&s, &Session::ScriptStatus, this, [&](const QString &text) { scriptStatus = text; });
        connect(&s, &Session::DebugStatusLine, this, [&](const QString &line) {
            status << line;
            if (line.endsWith("try 3 in 4 s."))
                QVERIFY(server.listen(QHostAddress::LocalHost, port));
            if (line.endsWith("try 1 in 1 s.") && status.size() > 1) // the second gap
                s.AbortScriptFile();
        });
        s.InitVariables();
        s.SetReconnect(true);
        s.ReconnectTimer()->SetSecondMs(100); // the gap outlasts the script delay
        s.SelectLogFile(log);
        s.SelectScriptFile(script);
        s.SetScriptDelayText("100");
        s.SetDataPipe(2);
        s.InitWinSock("127.0.0.1", port);
        QTRY_VERIFY_WITH_TIMEOUT(s.EthernetOpen(), WaitMs);
        s.SendScriptFile();
        QTRY_COMPARE_WITH_TIMEOUT(scriptStatus, QString("Completed."), WaitMs);
        s.SendScriptFile();
        QTRY_VERIFY_WITH_TIMEOUT(received.size() == 3 && s.EthernetOpen(), WaitMs);
        QCOMPARE(scriptStatus, QString("Aborted."));
        for (int i = 0; i < 5; ++i)
            s.tmr1_Timer(10);
        s.SetCommandText("7E");
        s.SendCommand();
        QTRY_COMPARE_WITH_TIMEOUT(received.value(2), QByteArray("\x7e"), WaitMs);
        QCOMPARE(received.mid(0, 2), (QList<QByteArray>{"\x01", "\x02\x03\x01"}));

        const QString lost = debug.value(2);
        QVERIFY(lost.startsWith("Ethernet connection lost: "));
        QCOMPARE(debug, (QStringList{"Ethernet connection pending.", "Ethernet connection complete.", lost,
                                     "Ethernet connection complete.", lost, "Ethernet connection complete."}));
        const QString retry = "Reconnecting to 127.0.0.1:" + QString::number(port) + ": try ";
        const QString back = "Reconnected to 127.0.0.1:" + QString::number(port) + " at try ";
        QCOMPARE(status, (QStringList{retry + "1 in 1 s.", retry + "1 failed (Connection refused), try 2 in 2 s.",
                                      retry + "2 failed (Connection refused), try 3 in 4 s.", back + "3.",
                                      retry + "1 in 1 s.", back + "1."}));
        s.CloseLogFile();
        const QStringList start = Marker("### Start Script File: " + script), gap = Marker("### Link lost: " + lost.mid(26)),
                          linkBack = Marker("### Link back.");
        const QStringList lines = start + QStringList{"<<- 01 ", "--> 04 01 "} + gap + linkBack
            + QStringList{"<<- 02 ", "<<- 03 "} + Marker("### Script file completed.") + start + QStringList{"<<- 01 "}
            + gap + Marker("### Script file aborted.") + linkBack + QStringList{"<-- 7E ", ""};
        QCOMPARE(LogLines(log), lines);
    }

    // The device behind the path the user typed (here a link to a pseudo-terminal) is
    // pulled out and put back as another pseudo-terminal: opened again at its speed.
    void serialDeviceComesBackAtThePathTypedAndTheSameSpeed()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("adapter");
        PseudoTerminal first, second;
        QVERIFY(first.Open() && QFile::link(first.SlavePath(), path));
        QtSerialDriver driver;
        FakeSocketControl socket;
        Session s(driver, socket);
        QStringList traffic, status;
        bool partial = false;
        connect(&s, &Session::TrafficLine, this, [&](const QString &line) { traffic << line; });
        connect(&s, &Session::DebugStatusLine, this, [&](const QString &line) { status << line; });
        connect(&s, &Session::PartialPacket, this, [&](bool present) { partial = present; });
        s.InitVariables();
        s.SetReconnect(true);
        s.ReconnectTimer()->SetSecondMs(10);
        driver.SetPortDevice(1, path);
        s.SetComSpeed(4);
        s.InitComPort();
        QVERIFY(s.ComPortOpen());
        QVERIFY(first.Write("\x04\x01"));
        QTRY_VERIFY_WITH_TIMEOUT(partial, WaitMs);
        first.CloseMaster();
        QVERIFY(QFile::remove(path));
        QTRY_VERIFY_WITH_TIMEOUT(!status.isEmpty(), WaitMs);
        QVERIFY(!s.ComPortOpen() && !partial);
        QVERIFY(second.Open() && QFile::link(second.SlavePath(), path));
        QTRY_VERIFY_WITH_TIMEOUT(s.ComPortOpen(), WaitMs);
        QCOMPARE(status, (QStringList{"Waiting for COM1 (" + path + ") to come back.", "COM1 is back: " + path + "."}));
        QCOMPARE(second.SlaveSpeed(), unsigned(B57600));
        QVERIFY(second.Write(QByteArray("\x01\x00", 2)));
        QTRY_COMPARE_WITH_TIMEOUT(traffic.size(), 3, WaitMs);
        QCOMPARE(traffic, (QStringList{"COM port initialized and opened.", "--> 04 01 ", "--> 01 00 "}));
    }

    // A USB adapter back under another ttyUSB number is the same adapter by its by-id link.
    void adapterIsFoundAgainByItsByIdLinkUnderAnotherName()
    {
        QTemporaryDir byId;
        const QString link = byId.filePath("usb-Quillon_Adapter_A1B2-if00-port0");
        PseudoTerminal first, second;
        QVERIFY(first.Open() && second.Open() && QFile::link(first.SlavePath(), link));
        const SerialIdentity adapter(first.SlavePath(), byId.path());
        QCOMPARE(adapter.Name() + " " + adapter.Find(), link + " " + first.SlavePath());
        QVERIFY(QFile::remove(link));
        QCOMPARE(adapter.Find(), QString());
        QVERIFY(QFile::link(second.SlavePath(), link));
        QCOMPARE(adapter.Find(), second.SlavePath());
    }
};

QTEST_GUILESS_MAIN(TestReconnect)
#include "test_reconnect.moc"
