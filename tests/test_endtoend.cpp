// The whole program as a user drives it: the real windows, serial driver and
// socket with the service timer running, against the device simulator on loopback
// and on pseudo-terminals.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "realwindow.h"

namespace {
constexpr int WaitMs = 10000; // only bounds a hung test; nothing is timed
// Unbounded buffering grows by gigabytes in a flood; the address sanitizer's
// quarantine alone may hold 256 MB of freed memory.
constexpr double MaxFloodGrowthMb = 512;

// The first count lines of the simulator's --expect-file.
QList<QByteArray> ExpectedLines(const QString &path, int count)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n').mid(0, count) : QList<QByteArray>();
}

// What is wrong with the log ("" when nothing): it must hold the streamed packets
// in order (over and over for a repeated stream), every line whole, the device's
// replies to exactly the bytes sent, and after each match packet the command it sent.
QString StreamVerdict(const QString &logPath, const QList<QByteArray> &expected, const QByteArray &match)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return "no log";
    QByteArray sent, replied, previous;
    qsizetype next = 0;
    while (!log.atEnd()) {
        QByteArray line = log.readLine();
        line.chop(2); // CR LF
        if (!match.isEmpty() && previous == match && !line.startsWith("<-- "))
            return "no command after the match packet";
        previous = line;
        if (line.startsWith("<-- ") || line.startsWith("<<- ")) {
            sent += QByteArray::fromHex(line.mid(4));
        } else if (line == expected[next % expected.size()]) {
            ++next;
        } else if (line.startsWith("--> ")) { // a reply: header 11 and a length byte, or 12 and two
            const QByteArray reply = QByteArray::fromHex(line.mid(4));
            replied += reply.mid(reply.startsWith('\x11') ? 2 : 3);
        }
    }
    if (next < expected.size())
        return QString("packet %1 of %2 is missing or out of order").arg(next).arg(expected.size());
    return replied == sent ? QString() : QString("replies to %1 bytes, %2 sent").arg(replied.size()).arg(sent.size());
}

// A size from /proc/self/status, in MB.
double StatusMb(const char *field)
{
    QFile status("/proc/self/status");
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    return text.mid(text.indexOf(field) + qstrlen(field)).trimmed().split(' ').value(0).toDouble() / 1024;
}

// The links a user can open: TCP on loopback and a pseudo-terminal, with and without key.
void Links()
{
    QTest::addColumn<bool>("serial");
    QTest::addColumn<QString>("key");
    QTest::newRow("tcp") << false << "00";
    QTest::newRow("tcp, key 5A on both ends") << false << "5A";
    QTest::newRow("pty at 115.2 kbaud") << true << "00";
    QTest::newRow("pty at 115.2 kbaud, key A5 on both ends") << true << "A5";
}
}

class TestEndToEnd : public QObject {
    Q_OBJECT

    // Starts the simulator on loopback or a pseudo-terminal and opens the link to it
    // through "Configure Comms"; where it plays ("127.0.0.1:PORT" or a pty path), or ""
    // when that failed.
    QString OpenDevice(RealWindow &w, bool serial, const QStringList &arguments)
    {
        auto *device = new QProcess(this);
        device->start(QCoreApplication::applicationDirPath() + "/../bench/quillon-device",
                      QStringList{serial ? "--pty" : "--tcp", "--port", "0"} + arguments);
        while (!device->canReadLine() && device->waitForReadyRead(WaitMs)) {
        }
        const QString ready = QString::fromLocal8Bit(device->readLine()).trimmed();
        const QString where = ready.startsWith("Device on ") ? ready.mid(10) : QString();
        if (where.isEmpty())
            qWarning() << ready << device->errorString() << device->readAllStandardError();
        const bool opened = !where.isEmpty()
            && w.Open(serial ? QStringList{"DataPipeSelect1", "ComxBtn1", "ComBaudBtn5", "ComxDevice1=" + where}
                             : QStringList{"DataPipeSelect2", "PortNumber=" + where.section(':', 1),
                                           "IPAddress=127.0.0.1"});
        return opened ? where : QString();
    }

private slots:
    void cleanup()
    {
        for (QProcess *device : findChildren<QProcess *>()) {
            device->kill();
            device->waitForFinished();
            delete device;
        }
    }

    // The device streams random packets of every header kind, cut at random points,
    // while a script runs and the match packet is answered. Then it goes away (a
    // pulled adapter), which closes the link with one line, and the link opens again.
    void linkCarriesStreamScriptAndMatchReplyAndOpensAgain_data() { Links(); }

    void linkCarriesStreamScriptAndMatchReplyAndOpensAgain()
    {
        QFETCH(bool, serial);
        QFETCH(QString, key);
        const int packets = serial ? 120 : 300;
        const int maxLen = serial ? 600 : 65535; // the serial pipe takes 101 bytes a tick
        QTemporaryDir dir;
        const QString expectPath = dir.filePath("expect.txt"), logPath = dir.filePath("stream.log");
        QFile script(dir.filePath("run.dwn"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        for (int i = 0; i < 20; ++i)
            script.write(QString("A1 %1\r\n").arg(i, 2, 16, QChar('0')).toLatin1());
        script.close();
        RealWindow w;
        w.SetKey(key);
        QVERIFY(w.OpenLog(logPath));
        Type(w->Text5, "7E 01 02");
        // The stream starts at the first command.
        const QString where = OpenDevice(w, serial, {"--stream", QString::number(packets), "--seed", "7", "--max-len",
                                                     QString::number(maxLen), "--split", "--key", key, "--expect-file",
                                                     expectPath, "--on-command"});
        QVERIFY(!where.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(w->Text3->text(), serial ? QString("COM1: at 115.2 kbaud")
                                  : "Ethernet IP address: 127.0.0.1   Port number: " + where.section(':', 1), WaitMs);
        const QList<QByteArray> expected = ExpectedLines(expectPath, packets);
        QCOMPARE(expected.size(), packets);
        // The match packet: a short one from the middle of the stream.
        QByteArray match;
        for (qsizetype i = packets / 2; match.isEmpty() && i < packets; ++i)
            match = expected[i].size() <= 40 ? expected[i] : QByteArray();
        QVERIFY(!match.isEmpty());
        Type(w->MatchMsg, QString::fromLatin1(match.mid(4)));
        w.Press("SendCommand");
        w.files.Answers << script.fileName();
        w.Press("SelectScriptFile");
        Type(w->Text7, "30");
        w.Press("SendScriptFile");
        QTRY_COMPARE_WITH_TIMEOUT(w->Text8->text(), QString("Completed."), 4 * WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(StreamVerdict(logPath, expected, match), QString(), 4 * WaitMs);
        w.Settle();
        QVERIFY(!w->CommFlush->isEnabled()); // no partial packet was left over

        findChildren<QProcess *>().last()->kill();
        QTRY_VERIFY_WITH_TIMEOUT(w->Text3->text().isEmpty(), WaitMs);
        QCOMPARE(w.Debug().filter(serial ? "Error getting a packet: 6" : "Ethernet connection lost").size(), 1);
        QVERIFY(!OpenDevice(w, serial, {"--key", key}).isEmpty());
        w.Do("Text5=22 33");
        w.Press("SendCommand");
        QTRY_VERIFY_WITH_TIMEOUT(w.Traffic().contains("--> 11 02 22 33 "), WaitMs);
    }

    // A device that sends as fast as loopback allows while the user switches the
    // traffic display off and on: every click is handled, memory stays bounded and
    // the log, shown or not, is whole.
    void floodLeavesClicksHandledMemoryBoundedAndTheLogWhole()
    {
        QTemporaryDir dir;
        const QString expectPath = dir.filePath("expect.txt"), logPath = dir.filePath("flood.log");
        const int packets = 200;
        RealWindow w;
        QVERIFY(w.OpenLog(logPath));
        // Small packets: the run on its own thread logs a stream of long ones at a gigabyte a second.
        QVERIFY(!OpenDevice(w, false, {"--stream", QString::number(packets), "--repeat", "--seed", "11", "--max-len",
                                       "15", "--expect-file", expectPath}).isEmpty());
        const QList<QByteArray> expected = ExpectedLines(expectPath, packets);
        QCOMPARE(expected.size(), packets);
        QTRY_VERIFY_WITH_TIMEOUT(w->Text3->text().startsWith("Ethernet IP address"), WaitMs);
        QFile clearRefs("/proc/self/clear_refs"); // the peak size starts again from here
        QVERIFY(clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1);
        clearRefs.close();
        const double startMb = StatusMb("VmRSS:");

        // Clicks come from another thread, as from the window system: at any moment,
        // mostly while a delivery is being processed.
        int handled = 0;
        QPushButton *button = w->CommDisplayControl;
        connect(button, &QPushButton::clicked, this, [&handled] { ++handled; });
        const int clicks = 8;
        std::thread user([&] {
            for (int i = 0; i < clicks; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                QMetaObject::invokeMethod(button, [button] { QTest::mouseClick(button, Qt::LeftButton); },
                                          Qt::QueuedConnection);
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(handled, clicks, 3 * WaitMs); // the device floods until it is stopped
        user.join();
        const double grownMb = StatusMb("VmHWM:") - startMb;
        findChildren<QProcess *>().last()->kill();
        QTRY_VERIFY_WITH_TIMEOUT(w->Text3->text().isEmpty(), WaitMs);
        QVERIFY2(grownMb < MaxFloodGrowthMb, qPrintable(QString("grew %1 MB").arg(grownMb)));
        QCOMPARE(w.Traffic().size(), 100); // the newest rows only

        QCOMPARE(StreamVerdict(logPath, expected, QByteArray()), QString());
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_endtoend.moc"
