// Faults from outside met through the main window: a device that goes away in the
// middle of a packet, a log or script file that goes away, scripts of junk. Quillon
// goes on, says what happened, and keeps what it had already written.
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/socket.h>
#include <unistd.h>

#include "app/pulseclock.h"
#include "realwindow.h"

namespace {
constexpr int WaitMs = 10000; // only bounds a hung test; nothing is timed

QStringList LogLines(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).split("\r\n") : QStringList();
}

// The peer Quillon connected to, once the window says the link is open.
QTcpSocket *Accept(QTcpServer &server, RealWindow &w)
{
    if (!w.OpenEthernet(server.serverPort())
        || !QTest::qWaitFor([&] { return w->EthernetOpen && server.hasPendingConnections(); }, WaitMs))
        return nullptr;
    return server.nextPendingConnection();
}
}

class TestFaults : public QObject {
    Q_OBJECT
    QTemporaryDir Dir;

private slots:
    void peerLostMidPacketIsReportedAndTheNextLinkStartsClean_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::newRow("peer closes") << false;
        QTest::newRow("peer resets") << true;
    }
    void peerLostMidPacketIsReportedAndTheNextLinkStartsClean()
    {
        QFETCH(bool, reset);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        RealWindow w;
        const QString log = Dir.filePath(QTest::currentDataTag() + QString(".log"));
        QVERIFY(w.OpenLog(log));
        QTcpSocket *peer = Accept(server, w);
        QVERIFY(peer);

        peer->write(QByteArray::fromHex("03010203" "120100" "AABB")); // a packet, then 2 of 256 bytes
        QTRY_VERIFY_WITH_TIMEOUT(w->CommFlush->isEnabled(), WaitMs);
        if (reset) {
            const linger now{1, 0}; // closing then sends RST, not FIN
            QCOMPARE(setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now), 0);
            peer->abort();
        } else {
            peer->disconnectFromHost();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!w->EthernetOpen, WaitMs);
        QVERIFY(w.Debug().last().startsWith("Ethernet connection lost: "));
        QVERIFY(!w->tmr1->Enabled() && w->Text3->text().isEmpty());
        QVERIFY(LogLines(log).contains("--> 03 01 02 03 "));

        // Reconnected, the first packet is framed on its own, not as the rest of the old one.
        peer = Accept(server, w);
        QVERIFY(peer);
        peer->write(QByteArray::fromHex("01CC"));
        QTRY_VERIFY_WITH_TIMEOUT(w.Traffic().contains("--> 01 CC "), WaitMs);
        QVERIFY(!w->CommFlush->isEnabled());
        QVERIFY(LogLines(log).contains("--> 01 CC "));
    }

    void logDeletedWhileOpenIsReportedOnceAndKeepsItsLines()
    {
        TestWindow w;
        const QString log = Dir.filePath("deleted.log"), kept = Dir.filePath("kept.log");
        w.files.Answers = {log};
        w->SelectLogFile->click();
        w->Text5->setText("01");
        w->SendCommand->click();
        QCOMPARE(link(qPrintable(log), qPrintable(kept)), 0); // a second name keeps the file's data
        QVERIFY(QFile::remove(log));
        for (const char *command : {"02", "03"}) {
            w->Text5->setText(command);
            w->SendCommand->click();
        }
        QCOMPARE(w.Debug(), QStringList{"Error writing log file: the file no longer exists. Log file closed."});
        QVERIFY(!w->Log.LogActive && w->Text2->text().isEmpty() && !w->CloseLogFile->isEnabled());
        QCOMPARE(w.Traffic().mid(w.Traffic().size() - 3), (QStringList{"<-- 01 ", "<-- 02 ", "<-- 03 "}));
        QCOMPARE(LogLines(kept).mid(6), (QStringList{"<-- 01 ", ""}));
        QVERIFY(!QFile::exists(log));

        TestWindow refused; // a folder no one may write, even root, unlike a folder's mode bits
        refused.files.Answers = {"/sys/quillon.log"};
        refused->SelectLogFile->click();
        QCOMPARE(refused.Debug(), QStringList{"Log File cancelled. Permission denied"});
        QVERIFY(!refused->Log.LogActive);
    }

    void oddScriptsRunThroughTheWindow_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("removeBeforeStart");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("debug"); // a Debug line that must be among them
        QTest::addColumn<int>("blankLines");
        QTest::addColumn<int>("minTicks"); // lines that cost no time must not all come in one tick
        QByteArray random(200000, Qt::Uninitialized);
        QRandomGenerator bytes(42);
        for (char &c : random)
            c = char(bytes.bounded(256));
        QTest::newRow("random bytes") << random << false << "Completed." << "Error in command string." << -1 << 0;
        QTest::newRow("1 MB line") << QByteArray("AB ").repeated(350000) + "\r\n01" << false << "Completed."
                                   << "Script line longer than 4097 bytes skipped." << 0 << 0;
        QTest::newRow("a million empty lines") << QByteArray("\r\n").repeated(1000000) << false << "Completed."
                                               << "" << 1000000 << 2;
        QTest::newRow("removed between select and start") << QByteArray("01") << true << ""
                                                          << "Error in starting Script file." << 0 << 0;
    }
    void oddScriptsRunThroughTheWindow()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, removeBeforeStart);
        QFETCH(QString, status);
        QFETCH(QString, debug);
        QFETCH(int, blankLines);
        QFETCH(int, minTicks);
        TestWindow w;
        const QString log = Dir.filePath(QTest::currentDataTag() + QString(".log"));
        QFile script(Dir.filePath(QTest::currentDataTag() + QString(".dwn")));
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write(content) == content.size());
        script.close();
        w.files.Answers = {log, script.fileName()};
        w->SelectLogFile->click();
        w->ConfigComPort->click();
        w->ConfigDialog()->Initialize->click(); // COM1 on the fake driver: the ticks run
        QVERIFY(w->ComPortOpen);
        w->SelectScriptFile->click();
        if (removeBeforeStart)
            QVERIFY(script.remove());
        w->Text7->setText("0");
        w->SendScriptFile->click();
        int ticks = 0;
        for (; ticks < 100000 && w->Text8->text() == "Active."; ++ticks)
            emit w->tmr1->Timer(10);
        QVERIFY(ticks >= minTicks);

        QCOMPARE(w->Text8->text(), status);
        QVERIFY(debug.isEmpty() || w.Debug().contains(debug));
        const QStringList lines = LogLines(log);
        if (removeBeforeStart) {
            QVERIFY(w->Text6->text().isEmpty());
            QCOMPARE(lines.mid(6), (QStringList{"COM port initialized and opened.", ""})); // no marker
            return;
        }
        QCOMPARE(lines.mid(lines.size() - 4), (QStringList{"", "### Script file completed.", "", ""}));
        QVERIFY(blankLines < 0 || lines.count(" ") == blankLines);
        // Quillon goes on as before.
        w->Text5->setText("7E");
        w->SendCommand->click();
        QCOMPARE(w.Traffic().last(), QString("<-- 7E "));
    }
};

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
