// The socket control against a server of its own on 127.0.0.1 in every case. A flood
// through it, both ways, is met in test_session against the device simulator.
#include "datapipe/tcpsocketcontrol.h"
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <sys/socket.h>

class TestSocketControl : public QObject {
    Q_OBJECT
    std::unique_ptr<QTcpServer> Server;
    std::unique_ptr<TcpSocketControl> Control;
    QStringList Events; // Connected, ConnectFailed and PeerClosed as raised, each with its reason
    QByteArray Got;     // every arrival, taken as the data pipe takes it

    // Connects and answers the server's end; nullptr when the outcome came before Connect
    // returned (it must come later) or never came.
    QTcpSocket *Open()
    {
        Control->Connect();
        if (!Events.isEmpty() || !QTest::qWaitFor([this] { return Server->hasPendingConnections() && Control->IsOpen(); }))
            return nullptr;
        return Server->nextPendingConnection();
    }

private slots:
    void init()
    {
        Server = std::make_unique<QTcpServer>();
        QVERIFY(Server->listen(QHostAddress::LocalHost));
        Control = std::make_unique<TcpSocketControl>();
        Control->RemoteHost = "127.0.0.1";
        Control->RemotePort = Server->serverPort();
        Events.clear();
        Got.clear();
        connect(Control.get(), &SocketControl::Connected, this, [this] { Events << "Connected"; });
        connect(Control.get(), &SocketControl::ConnectFailed, this, [this](const QString &why) { Events << "ConnectFailed" << why; });
        connect(Control.get(), &SocketControl::PeerClosed, this, [this](const QString &why) { Events << "PeerClosed" << why; });
        connect(Control.get(), &SocketControl::DataArrival, this, [this](qint64 bytesTotal) {
            QByteArray chunk;
            Control->GetData(chunk);
            Got += chunk;
            QCOMPARE(chunk.size(), bytesTotal);
        });
    }

    void bytesLeftByAnIgnoredArrivalAreRaisedAgain()
    {
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        Control->disconnect(this); // this test takes the arrivals itself
        bool busy = false;
        connect(Control.get(), &SocketControl::DataArrival, this, [&] {
            if (std::exchange(busy, true))
                return;
            QByteArray chunk;
            Control->GetData(chunk);
            Got += chunk;
            if (Got == "first") { // more comes while this arrival is still being handled
                peer->write("second");
                QTRY_VERIFY(Control->findChild<QTcpSocket *>()->bytesAvailable() > 0);
            }
            busy = false;
        });
        peer->write("first");
        QTRY_COMPARE(Got, QByteArray("firstsecond"));
    }

    void failedConnectRaisesConnectFailedLater_data()
    {
        QTest::addColumn<int>("port");
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        QTest::newRow("refused") << int(closed.serverPort());
        QTest::newRow("above 65535, said so, not cut to 16 bits") << 65536 + 4464;
    }
    void failedConnectRaisesConnectFailedLater()
    {
        QFETCH(int, port);
        Control->RemotePort = port;
        Control->Connect();
        QVERIFY(Events.isEmpty());
        QTRY_COMPARE(Events.value(0), QString("ConnectFailed"));
        QVERIFY(Events.size() == 2 && !Events[1].isEmpty() && (port < 65536 || Events[1].contains("70000")));
        QVERIFY(!Control->IsOpen() && !Server->hasPendingConnections());
    }

    void peerLostRaisesPeerClosedOnceAfterItsLastBytes_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::newRow("peer closes") << false;
        QTest::newRow("peer resets") << true;
    }
    void peerLostRaisesPeerClosedOnceAfterItsLastBytes()
    {
        QFETCH(bool, reset);
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        peer->write("bye");
        QTRY_COMPARE(Got, QByteArray("bye"));
        const linger now{1, 0}; // closing then sends RST, not FIN
        QVERIFY(!reset || setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now) == 0);
        reset ? peer->abort() : peer->disconnectFromHost();
        QTRY_COMPARE(Events.value(1), QString("PeerClosed"));
        QTest::qWait(50);
        QVERIFY(Events.size() == 3 && !Control->IsOpen());
    }

    void ownCloseSendsWhatIsQueuedAndRaisesNothing()
    {
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        // Auto-replies are single small packets: they must not wait for Nagle.
        QCOMPARE(Control->findChild<QTcpSocket *>()->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
        Control->SendData("last");
        Control->Close();
        QVERIFY(!Control->IsOpen());
        QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(peer->readAll(), QByteArray("last"));
        Control->Connect(); // a pending attempt closed is abandoned
        Control->Close();
        QTest::qWait(50);
        QVERIFY(Events == QStringList{"Connected"} && !Control->IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestSocketControl)
#include "test_socketcontrol.moc"
