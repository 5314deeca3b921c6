#include "datapipe/tcpsocketcontrol.h"
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// Every case runs against a server of its own on 127.0.0.1.
class TestSocketControl : public QObject {
    Q_OBJECT

    QTcpServer *Server = nullptr;
    TcpSocketControl *Control = nullptr;

    QTcpSocket *Socket() { return Control->findChild<QTcpSocket *>(); }

    // Connects the control to the server and answers the server's end of the link.
    QTcpSocket *Open()
    {
        QSignalSpy connected(Control, &SocketControl::Connected);
        Control->Connect();
        if (!connected.wait() || !QTest::qWaitFor([this] { return Server->hasPendingConnections(); }))
            return nullptr;
        return Server->nextPendingConnection();
    }

    static QByteArray Pattern(int size)
    {
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = char((i * 7 + i / 251) & 0xFF);
        return bytes;
    }

private slots:
    void init()
    {
        Server = new QTcpServer;
        QVERIFY(Server->listen(QHostAddress::LocalHost));
        Control = new TcpSocketControl;
        Control->RemoteHost = "127.0.0.1";
        Control->RemotePort = Server->serverPort();
    }
    void cleanup()
    {
        delete Control;
        delete Server;
    }

    void connectRaisesConnectedLaterWithLowDelay()
    {
        QSignalSpy connected(Control, &SocketControl::Connected);
        Control->Connect();
        QCOMPARE(connected.count(), 0); // Connect returns before any outcome
        QVERIFY(!Control->IsOpen());
        QTRY_COMPARE(connected.count(), 1);
        QVERIFY(Control->IsOpen());
        QCOMPARE(Socket()->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
        QCOMPARE(Socket()->readBufferSize(), TcpSocketControl::ReadBufferSize);
    }

    void packetsArriveWholeAndInOrder()
    {
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        const QByteArray first = Pattern(300), second("\x05\x00\x68\x6A\xF1\x3F", 6);
        Control->SendData(first);
        Control->SendData(second);
        QByteArray got;
        QTRY_VERIFY((got += peer->readAll()).size() >= first.size() + second.size());
        QCOMPARE(got, first + second);
    }

    void serverBytesArriveInOrder_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("a few") << 3;
        QTest::newRow("1 MB burst") << 1024 * 1024;
    }
    void serverBytesArriveInOrder()
    {
        QFETCH(int, size);
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        QByteArray got;
        qint64 largest = 0;
        bool countsAgree = true;
        connect(Control, &SocketControl::DataArrival, this, [&](qint64 bytesTotal) {
            QByteArray chunk;
            Control->GetData(chunk);
            countsAgree = countsAgree && bytesTotal == chunk.size();
            largest = qMax<qint64>(largest, chunk.size());
            got += chunk;
        });
        const QByteArray sent = Pattern(size);
        peer->write(sent);
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), sent.size(), 30000);
        QCOMPARE(got, sent);
        QVERIFY(countsAgree);
        QVERIFY(largest <= TcpSocketControl::ReadBufferSize);
    }

    void bytesLeftByAnIgnoredArrivalAreRaisedAgain()
    {
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        QByteArray got;
        bool busy = false;
        connect(Control, &SocketControl::DataArrival, this, [&](qint64) {
            if (busy)
                return;
            busy = true;
            QByteArray chunk;
            Control->GetData(chunk);
            got += chunk;
            if (got == "first") {
                // More comes while this arrival is still being handled.
                peer->write("second");
                QTRY_VERIFY(Socket()->bytesAvailable() > 0);
            }
            busy = false;
        });
        peer->write("first");
        QTRY_COMPARE(got, QByteArray("firstsecond"));
    }

    void refusedConnectionRaisesConnectFailed()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        Control->RemotePort = closed.serverPort();
        closed.close();
        QSignalSpy failed(Control, &SocketControl::ConnectFailed);
        QSignalSpy connected(Control, &SocketControl::Connected);
        Control->Connect();
        QTRY_COMPARE(failed.count(), 1);
        QVERIFY(!failed.at(0).at(0).toString().isEmpty());
        QCOMPARE(connected.count(), 0);
        QVERIFY(!Control->IsOpen());
    }

    void portOutOfRangeRaisesConnectFailed_data()
    {
        QTest::addColumn<int>("port");
        QTest::newRow("zero") << 0;
        QTest::newRow("above 65535") << 65536 + 4464;
        QTest::newRow("negative") << -1;
    }
    void portOutOfRangeRaisesConnectFailed()
    {
        QFETCH(int, port);
        Control->RemotePort = port;
        QSignalSpy failed(Control, &SocketControl::ConnectFailed);
        Control->Connect();
        QCOMPARE(failed.count(), 0);
        QTRY_COMPARE(failed.count(), 1);
        QVERIFY(failed.at(0).at(0).toString().contains(QString::number(port)));
        QVERIFY(!Server->hasPendingConnections());
    }

    void peerCloseRaisesPeerClosedOnceAfterItsLastBytes()
    {
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        QByteArray got;
        connect(Control, &SocketControl::DataArrival, this, [&](qint64) {
            QByteArray chunk;
            Control->GetData(chunk);
            got += chunk;
        });
        QSignalSpy closed(Control, &SocketControl::PeerClosed);
        peer->write("bye");
        peer->disconnectFromHost();
        QTRY_COMPARE(closed.count(), 1);
        QCOMPARE(got, QByteArray("bye"));
        QVERIFY(!Control->IsOpen());
        QTest::qWait(50);
        QCOMPARE(closed.count(), 1);
    }

    void ownCloseRaisesNothing()
    {
        QTcpSocket *peer = Open();
        QVERIFY(peer);
        QSignalSpy closed(Control, &SocketControl::PeerClosed);
        QSignalSpy failed(Control, &SocketControl::ConnectFailed);
        Control->SendData("last");
        Control->Close();
        QVERIFY(!Control->IsOpen());
        QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(peer->readAll(), QByteArray("last"));
        QCOMPARE(closed.count(), 0);
        QCOMPARE(failed.count(), 0);
    }

    void closingAPendingAttemptAbandonsIt()
    {
        QSignalSpy connected(Control, &SocketControl::Connected);
        QSignalSpy failed(Control, &SocketControl::ConnectFailed);
        Control->Connect();
        Control->Close();
        QTest::qWait(50);
        QCOMPARE(connected.count(), 0);
        QCOMPARE(failed.count(), 0);
        QVERIFY(!Control->IsOpen());
    }

    void connectAgainReplacesTheOpenLink()
    {
        QTcpSocket *first = Open();
        QVERIFY(first);
        QSignalSpy closed(Control, &SocketControl::PeerClosed);
        QTcpSocket *second = Open();
        QVERIFY(second);
        QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
        Control->SendData("new");
        QByteArray got;
        QTRY_COMPARE(got += second->readAll(), QByteArray("new"));
        QCOMPARE(closed.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSocketControl)
#include "test_socketcontrol.moc"
