// The whole program as a user drives it: the real window, dialogs, serial driver
// and socket, with the service timer running, against the device simulator (on
// loopback) and pseudo-terminals.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "app/form1.h"
#include "app/pulseclock.h"
#include "pseudoterminal.h"
#include "realwindow.h"

namespace {
constexpr int WaitMs = 10000; // only bounds a hung test; nothing is timed
// Unbounded buffering grows by gigabytes in a flood; the address sanitizer's
// quarantine alone may hold 256 MB of freed memory.
#ifdef __SANITIZE_ADDRESS__
constexpr double MaxFloodGrowthMb = 512;
#else
constexpr double MaxFloodGrowthMb = 256;
#endif

QByteArray Wire(const char *hex, char key)
{
    QByteArray bytes = QByteArray::fromHex(hex);
    for (char &c : bytes)
        c ^= key;
    return bytes;
}

// The first count lines of the simulator's --expect-file.
QList<QByteArray> ExpectedLines(const QString &path, int count)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n').mid(0, count) : QList<QByteArray>();
}

// What is wrong with the log ("" when nothing): it must hold every streamed packet
// once and in order, the device's replies to exactly the bytes sent, and after each
// match packet the command it sent.
QString StreamVerdict(const QString &logPath, const QList<QByteArray> &expected, const QByteArray &match)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return "no log";
    QByteArray sent, replied, previous;
    qsizetype next = 0;
    for (QByteArray line : log.readAll().split('\n')) {
        line.chop(1); // CR
        if (previous == match && !line.startsWith("<-- "))
            return "no command after the match packet";
        previous = line;
        if (line.startsWith("<-- ") || line.startsWith("<<- ")) {
            sent += QByteArray::fromHex(line.mid(4));
        } else if (line.startsWith("--> ") && next < expected.size() && line == expected[next]) {
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

double StatusMb(const char *field)
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return 0;
}
}

class TestEndToEnd : public QObject {
    Q_OBJECT

    std::vector<std::unique_ptr<QProcess>> Devices;

    // Starts the simulator; where it plays ("127.0.0.1:PORT" or a pty path), or ""
    // (with a warning) when it did not come up.
    QString StartDevice(const QStringList &arguments)
    {
        auto &device = Devices.emplace_back(std::make_unique<QProcess>());
        device->start(QCoreApplication::applicationDirPath() + "/../bench/quillon-device", arguments);
        while (!device->canReadLine() && device->waitForReadyRead(WaitMs)) {
        }
        const QString ready = QString::fromLocal8Bit(device->readLine()).trimmed();
        if (!ready.startsWith("Device on ")) {
            qWarning() << ready << device->errorString() << device->readAllStandardError();
            return {};
        }
        return ready.mid(10);
    }
    // On a free loopback port; 0 when it did not come up.
    quint16 StartTcpDevice(const QStringList &arguments)
    {
        return quint16(StartDevice(QStringList{"--tcp", "--port", "0"} + arguments).section(':', 1).toUInt());
    }

private slots:
    void cleanup()
    {
        for (auto &device : Devices) {
            device->kill();
            device->waitForFinished();
        }
        Devices.clear();
    }

    void ethernetCommandIsAnsweredWithAndWithoutKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("no key") << QString();
        QTest::newRow("key 5A on both ends") << QString("5A");
    }

    void ethernetCommandIsAnsweredWithAndWithoutKey()
    {
        QFETCH(QString, key);
        const quint16 port = StartTcpDevice(key.isEmpty() ? QStringList() : QStringList{"--key", key});
        QVERIFY(port);
        RealWindow w;
        if (!key.isEmpty())
            w.SetKey(key);
        QVERIFY(w.OpenEthernet(port));
        QTRY_VERIFY_WITH_TIMEOUT(w.Debug().contains("Ethernet connection complete."), WaitMs);
        QCOMPARE(w->Text3->text(), QString("Ethernet IP address: 127.0.0.1   Port number: %1").arg(port));

        w.Send("05 00 68");
        QCOMPARE(w.Traffic().last(), QString("<-- 05 00 68 "));
        QTRY_VERIFY_WITH_TIMEOUT(w.Traffic().contains("--> 11 03 05 00 68 "), WaitMs);
    }

    void ethernetMatchPacketSendsTheCommandAndGetsItsReply()
    {
        const quint16 port = StartTcpDevice({"--send", "05 00 68 6A F1 3F"});
        QVERIFY(port);
        RealWindow w;
        Type(w->Text5, "01 02 03");
        QVERIFY(w.OpenEthernet(port));
        QTRY_VERIFY_WITH_TIMEOUT(w.Traffic().contains("--> 11 03 01 02 03 "), WaitMs);
        const QStringList traffic = w.Traffic();
        const qsizetype match = traffic.indexOf("--> 05 00 68 6A F1 3F ");
        QVERIFY(match >= 0);
        QCOMPARE(traffic.value(match + 1), QString("<-- 01 02 03 "));
        QVERIFY(traffic.indexOf("--> 11 03 01 02 03 ") > match + 1);
    }

    void serialLinkCarriesBothWaysAndSurvivesAPulledAdapter_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<char>("wireKey");
        QTest::newRow("no key") << QString() << '\0';
        QTest::newRow("key 5A") << QString("5A") << '\x5A';
    }

    void serialLinkCarriesBothWaysAndSurvivesAPulledAdapter()
    {
        QFETCH(QString, key);
        QFETCH(char, wireKey);
        auto line = std::make_unique<PseudoTerminal>();
        QVERIFY(line->Open());
        RealWindow w;
        if (!key.isEmpty())
            w.SetKey(key);
        QVERIFY(w.OpenSerial(line->SlavePath()));
        QCOMPARE(w->Text3->text(), QString("COM1: at 115.2 kbaud"));
        QVERIFY(w.Traffic().contains("COM port initialized and opened."));

        w.Send("05 00 68 6A F1 3F");
        QCOMPARE(line->Read(WaitMs, 6), Wire("0500686AF13F", wireKey));
        QVERIFY(line->Write(Wire("1104A0B1C2FF", wireKey)));
        QTRY_VERIFY_WITH_TIMEOUT(w.Traffic().contains("--> 11 04 A0 B1 C2 FF "), WaitMs);

        // The device sends the match packet: the command goes out by itself.
        Type(w->Text5, "7E 00");
        QVERIFY(line->Write(Wire("0500686AF13F", wireKey)));
        QCOMPARE(line->Read(WaitMs, 2), Wire("7E00", wireKey));
        QCOMPARE(w.Traffic().mid(w.Traffic().size() - 2),
                 QStringList({"--> 05 00 68 6A F1 3F ", "<-- 7E 00 "}));

        // The adapter is pulled out: the next tick says so once and closes the port.
        line->CloseMaster();
        QTRY_VERIFY_WITH_TIMEOUT(w.Debug().contains("Closed COM port: 1"), WaitMs);
        QCOMPARE(w.Debug().filter("Error getting a packet: 6").size(), 1);
        QVERIFY(w.Debug().contains("COM1 lost: the device went away. Configure Comms to open it again."));
        QVERIFY(!w->ComPortOpen);
        QVERIFY(!w->tmr1->Enabled());
        QVERIFY(w->Text3->text().isEmpty());

        Form2 *dialog = w.Configure();
        QVERIFY(dialog->isVisible());
        dialog->hide();

        line = std::make_unique<PseudoTerminal>();
        QVERIFY(line->Open());
        QVERIFY(w.OpenSerial(line->SlavePath()));
        QCOMPARE(w->Text3->text(), QString("COM1: at 115.2 kbaud"));
        w.Send("22 33");
        QCOMPARE(line->Read(WaitMs, 2), Wire("2233", wireKey));
        QVERIFY(line->Write(Wire("110144", wireKey)));
        QTRY_VERIFY_WITH_TIMEOUT(w.Traffic().contains("--> 11 01 44 "), WaitMs);
    }

    // The device streams random packets of every header kind, cut at random points,
    // while a script runs and the match packet is answered.
    void streamReachesTheLogWholeBesideScriptAndMatch_data()
    {
        QTest::addColumn<bool>("serial");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("packets");
        QTest::addColumn<int>("maxLen"); // the serial pipe takes 101 bytes a tick: keep it short
        QTest::newRow("tcp") << false << "00" << 300 << 65535;
        QTest::newRow("tcp, key 5A") << false << "5A" << 300 << 65535;
        QTest::newRow("pty at 115.2 kbaud") << true << "00" << 120 << 600;
        QTest::newRow("pty at 115.2 kbaud, key A5") << true << "A5" << 120 << 600;
    }

    void streamReachesTheLogWholeBesideScriptAndMatch()
    {
        QFETCH(bool, serial);
        QFETCH(QString, key);
        QFETCH(int, packets);
        QFETCH(int, maxLen);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString expectPath = dir.filePath("expect.txt"), logPath = dir.filePath("stream.log");
        const QStringList stream{"--stream", QString::number(packets), "--seed", "7", "--max-len",
                                 QString::number(maxLen), "--split", "--key", key, "--expect-file", expectPath};
        // A pseudo-terminal shows no connection: the stream starts at the first command.
        const QString where = serial ? StartDevice(QStringList{"--pty", "--on-command"} + stream) : QString();
        const quint16 port = serial ? 0 : StartTcpDevice(stream);
        QVERIFY(serial ? !where.isEmpty() : port != 0);
        const QList<QByteArray> expected = ExpectedLines(expectPath, packets);
        QCOMPARE(expected.size(), packets);
        // The match packet: a short one from the middle of the stream.
        QByteArray match;
        for (qsizetype i = packets / 2; match.isEmpty() && i < packets; ++i)
            match = expected[i].size() <= 40 ? expected[i] : QByteArray();
        QVERIFY(!match.isEmpty());
        QFile script(dir.filePath("run.dwn"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        for (int i = 0; i < 20; ++i)
            script.write(QString("A1 %1\r\n").arg(i, 2, 16, QChar('0')).toLatin1());
        script.close();

        RealWindow w;
        w.SetKey(key);
        QVERIFY(w.OpenLog(logPath));
        Type(w->MatchMsg, QString::fromLatin1(match.mid(4)));
        Type(w->Text5, "7E 01 02");
        QVERIFY(serial ? w.OpenSerial(where) : w.OpenEthernet(port));
        QTRY_VERIFY_WITH_TIMEOUT(w->ComPortOpen || w->EthernetOpen, WaitMs);
        if (serial)
            w->SendCommand->click();
        w.files.Answers << script.fileName();
        w->SelectScriptFile->click();
        Type(w->Text7, "30");
        w->SendScriptFile->click();

        QTRY_COMPARE_WITH_TIMEOUT(w->Text8->text(), QString("Completed."), 4 * WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(StreamVerdict(logPath, expected, match), QString(), 4 * WaitMs);
        QVERIFY(!w->CommFlush->isEnabled()); // no partial packet was left over
    }

    // A device that sends as fast as loopback allows, for 10 s.
    void floodLeavesClicksHandledMemoryBoundedAndTheLogWhole()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString expectPath = dir.filePath("expect.txt"), logPath = dir.filePath("flood.log");
        const int packets = 200;
        const quint16 port = StartTcpDevice({"--stream", QString::number(packets), "--repeat", "--seed", "11",
                                             "--expect-file", expectPath});
        QVERIFY(port);
        const QList<QByteArray> expected = ExpectedLines(expectPath, packets);
        QCOMPARE(expected.size(), packets);

        RealWindow w;
        QVERIFY(w.OpenLog(logPath));
        QVERIFY(w.OpenEthernet(port));
        QTRY_VERIFY_WITH_TIMEOUT(w->EthernetOpen, WaitMs);
        QFile clearRefs("/proc/self/clear_refs"); // the peak size starts again from here
        QVERIFY(clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1);
        clearRefs.close();
        const double startMb = StatusMb("VmRSS:");

        // Clicks come from another thread, as from the window system: at any moment,
        // mostly while a delivery is being processed.
        QElapsedTimer clock;
        clock.start();
        std::atomic<qint64> postedMs = 0;
        qint64 longestMs = 0;
        int handled = 0;
        connect(w->ClearDebugWindow, &QPushButton::clicked, this, [&] {
            longestMs = qMax(longestMs, clock.elapsed() - postedMs);
            ++handled;
        });
        const int clicks = 20;
        std::thread user([&] {
            for (int i = 0; i < clicks; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                postedMs = clock.elapsed();
                QMetaObject::invokeMethod(w->ClearDebugWindow, &QPushButton::click, Qt::QueuedConnection);
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(handled, clicks, 3 * WaitMs); // the device floods until it is stopped
        user.join();
        const double grownMb = StatusMb("VmHWM:") - startMb;
        Devices.back()->kill();
        QTRY_VERIFY_WITH_TIMEOUT(!w->EthernetOpen, WaitMs);
        qInfo("flood: longest wait for a click %lld ms, memory grew %.1f MB, log %.0f MB", longestMs, grownMb,
              QFileInfo(logPath).size() / 1e6);
        QVERIFY2(grownMb < MaxFloodGrowthMb, qPrintable(QString("grew %1 MB").arg(grownMb)));

        // After the header the log is the stream over and over, cut after a whole line.
        QByteArray round;
        for (const QByteArray &line : expected)
            round += line + "\r\n";
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        for (int i = 0; i < 6; ++i)
            log.readLine();
        int rounds = 0;
        for (QByteArray part = log.read(round.size()); !part.isEmpty(); part = log.read(round.size())) {
            QVERIFY2(round.startsWith(part) && part.endsWith('\n'),
                     qPrintable(QString("round %1 differs").arg(rounds)));
            rounds += part.size() == round.size();
        }
        QVERIFY(rounds > 0);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_endtoend.moc"
