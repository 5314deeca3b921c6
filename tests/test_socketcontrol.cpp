#include "datapipe/tcpsocketcontrol.h"
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// Every case runs against a server of its own on 127.0.0.1.
class TestSocketControl : public QObject {
    Q_OBJECT
    std::unique_ptr<QTcpServer> Server;
    std::unique_ptr<TcpSocketControl> Control;
    QStringList Events;           // Connected, ConnectFailed and PeerClosed, as raised
    QString Reason;               // the last reason given
    QByteArray Got;               // what Take has taken

    QTcpSocket *Socket() { return Control->findChild<QTcpSocket *>(); }
    // Takes every arrival, as the data pipe does.
    void Take()
    {
        connect(Control.get(), &SocketControl::DataArrival, this, [this](qint64 bytesTotal) {
            QByteArray chunk;
            Control->GetData(chunk);
            Got += chunk;
            QCOMPARE(chunk.size(), bytesTotal);
            // The bounded read buffer makes TCP hold a flood back.
            QVERIFY(chunk.size() <= TcpSocketControl::ReadBufferSize);
        });
    }
    // Connects the control to the server and answers the server's end of the link; nullptr
    // when the outcome came before Connect returned (it must come later) or never came.
    QTcpSocket *Open()
    {
        Events.clear();
        Control->Connect();
        if (!Events.isEmpty() || Control->IsOpen()
            || !QTest::qWaitFor([this] { return Events.contains("Connected") && Server->hasPendingConnections(); }))
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
        const auto record = [this](const char *event) {
            return [this, event](const QString &reason = QString()) { Events << event; Reason = reason; };
        };
        connect(Control.get(), &SocketControl::Connected, this, record("Connected"));
        connect(Control.get(), &SocketControl::ConnectFailed, this, record("ConnectFailed"));
        connect(Control.get(), &SocketControl::PeerClosed, this, record("PeerClosed"));
    }

    void bytesCrossTheLinkWholeAndInOrder_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("a few") << 3;
        QTest::newRow("1 MB burst") << 1024 * 1024;
    }
    void bytesCrossTheLinkWholeAndInOrder()
    {
        QFETCH(int, size);
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        QVERIFY(Control->IsOpen());
        QCOMPARE(Socket()->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
        Take();
        QByteArray sent; // numbers in a row: a chunk lost, doubled or swapped shows
        for (int i = 0; sent.size() < size; ++i)
            sent += QByteArray::number(i) + ' ';
        sent.truncate(size);
        Control->SendData(sent);
        peer->write(sent);
        QByteArray atPeer;
        QTRY_VERIFY_WITH_TIMEOUT((atPeer += peer->readAll()).size() >= size && Got.size() >= size, 30000);
        QCOMPARE(atPeer, sent);
        QCOMPARE(Got, sent);
    }

    void bytesLeftByAnIgnoredArrivalAreRaisedAgain()
    {
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        bool busy = false;
        connect(Control.get(), &SocketControl::DataArrival, this, [&] {
            if (busy)
                return;
            busy = true;
            QByteArray chunk;
            Control->GetData(chunk);
            Got += chunk;
            if (Got == "first") { // more comes while this arrival is still being handled
                peer->write("second");
                QTRY_VERIFY(Socket()->bytesAvailable() > 0);
            }
            busy = false;
        });
        peer->write("first");
        QTRY_COMPARE(Got, QByteArray("firstsecond"));
    }

    void failedConnectRaisesConnectFailedLater_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("mention");
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        QTest::newRow("refused") << int(closed.serverPort()) << QString();
        QTest::newRow("zero") << 0 << "0";
        QTest::newRow("above 65535") << 65536 + 4464 << "70000";
        QTest::newRow("negative") << -1 << "-1";
    }
    void failedConnectRaisesConnectFailedLater()
    {
        QFETCH(int, port);
        QFETCH(QString, mention);
        Control->RemotePort = port;
        Control->Connect();
        QVERIFY(Events.isEmpty());
        QTRY_COMPARE(Events, QStringList{"ConnectFailed"});
        QVERIFY(!Reason.isEmpty() && Reason.contains(mention));
        QVERIFY(!Control->IsOpen());
        QVERIFY(!Server->hasPendingConnections());
    }

    void peerCloseRaisesPeerClosedOnceAfterItsLastBytes()
    {
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        Take();
        peer->write("bye");
        peer->disconnectFromHost();
        QTRY_COMPARE(Events, QStringList({"Connected", "PeerClosed"}));
        QCOMPARE(Got, QByteArray("bye"));
        QVERIFY(!Control->IsOpen());
        QTest::qWait(50);
        QCOMPARE(Events.size(), 2);
    }

    void ownCloseSendsWhatIsQueuedAndRaisesNothing()
    {
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        Control->SendData("last");
        Control->Close();
        QVERIFY(!Control->IsOpen());
        QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(peer->readAll(), QByteArray("last"));
        QCOMPARE(Events, QStringList{"Connected"});
    }

    void closingAPendingAttemptAbandonsIt()
    {
        Control->Connect();
        Control->Close();
        QTest::qWait(50);
        QVERIFY(Events.isEmpty());
        QVERIFY(!Control->IsOpen());
    }

    void connectAgainReplacesTheOpenLinkQuietly()
    {
        QTcpSocket *first = Open();
        QVERIFY(first);
        QTcpSocket *second = Open();
        QVERIFY(second);
        QCOMPARE(Events, QStringList{"Connected"});
        QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
        Control->SendData("new");
        QByteArray got;
        QTRY_COMPARE(got += second->readAll(), QByteArray("new"));
    }
};

QTEST_GUILESS_MAIN(TestSocketControl)
#include "test_socketcontrol.moc"
