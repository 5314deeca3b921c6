// The whole program as a user drives it: the real windows, serial driver and
// socket with the service timer running, against the device simulator on loopback
// and on pseudo-terminals.
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "display/trafficwrap.h"
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

// The log's lines after its header, CR LF ends taken off.
QStringList LogLines(const QString &path)
{
    QFile file(path);
    const QStringList lines = file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).split("\r\n") : QStringList();
    return lines.mid(6, lines.size() - 7);
}

// What is wrong with the device's stream in the log ("" when nothing): on each connection
// its packets in order from the first, besides them only the match packet, the device's
// answers to commands (header 11, or 12 for many run together) and the packet a drop
// cut, written out before the gap's marker.
QString StreamAcrossDrops(const QStringList &log, const QList<QByteArray> &expected, const QString &match)
{
    qsizetype next = 0;
    for (qsizetype i = 0; i < log.size(); ++i) {
        const QString &line = log[i], due = QString::fromLatin1(expected[next % expected.size()]);
        if (line == "### Link back.")
            next = 0;
        else if (line == due)
            ++next;
        else if (line.startsWith("--> ") && line != match && !line.startsWith("--> 11 ") && !line.startsWith("--> 12 ")
                 && !((due.startsWith(line) || match.startsWith(line)) && log.value(i + 2).startsWith("### Link lost: ")))
            return QString("log line %1 \"%2\" where \"%3\" was due").arg(i + 7).arg(line, due);
    }
    return QString();
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

    // The run on its own thread driven hard from both sides at once: the device streams
    // small packets, sends the match packet every 20 ms and drops the link every 400 ms
    // (Reconnect When Lost brings it back), answers go out at once and after a delay, a
    // script runs, and on the window's thread "Send Command" and "Send Script File" are
    // clicked all the while. Every line the session made is in the log once, in order, the
    // device's stream in order on each connection; the window was handed them in order,
    // each once, and always showed the newest of them without a gap; every Debug line
    // reached it, in order.
    void everyLineReachesLogAndWindowOnceInOrderUnderLoad()
    {
        QTemporaryDir dir;
        const QString bench = dir.filePath("stress.qbench"), script = dir.filePath("stress.dwn");
        const QString log = dir.filePath("stress.log"), expect = dir.filePath("expect.txt");
        for (const auto &[path, text] :
             {std::pair{bench, QByteArray(R"({"quillon-bench": 1, "reconnect": true, "command": "7E 01", "scriptDelay": 10,
                "answers": [{"when": "?? ??", "reply": "44 01"}, {"when": "?? ?? ??", "reply": "44 02 02", "delayMs": 30}]})")},
              {script, QByteArray("ECHO STRESS\r\n7E 02\r\n7E 03\r\n")}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        }
        RealWindow w;
        // What the session made, recorded on its own thread, and what the window was handed.
        QMutex lock;
        QList<std::pair<QString, bool>> made;
        QStringList madeDebug, handed, handedDebug;
        Session &run = w.Requests();
        // Tries again after 50 ms, not a second: more drops in the time.
        QMetaObject::invokeMethod(&run, [&run] { run.ReconnectTimer()->SetSecondMs(50); }, Qt::BlockingQueuedConnection);
        connect(&run, &SessionReports::TrafficLine, &run, [&](const QString &line, bool wrap) {
            QMutexLocker hold(&lock);
            made.append({line, wrap});
        }, Qt::DirectConnection);
        for (auto signal : {&SessionReports::DebugLine, &SessionReports::DebugStatusLine}) {
            connect(&run, signal, &run, [&](const QString &line) {
                QMutexLocker hold(&lock);
                madeDebug << line;
            }, Qt::DirectConnection);
            connect(&w.shown, signal, this, [&](const QString &line) { handedDebug << line; });
        }
        connect(&w.shown, &SessionReports::TrafficLine, this, [&](const QString &line) { handed << line; });
        QList<QStringList> seen; // the traffic window's rows, every 10 ms
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            QStringList rows;
            for (int i = 0; i < w->List1->count(); ++i)
                rows << w->List1->item(i)->text();
            seen << rows;
        });

        w.files.Answers << bench;
        w.Choose("FileMenu", "OpenBenchFile");
        QVERIFY(w.OpenLog(log));
        w.files.Answers << script;
        w.Press("SelectScriptFile");
        const QString match = "05 00 68 6A F1 3F";
        QVERIFY(!OpenDevice(w, false, {"--stream", "300", "--repeat", "--seed", "5", "--max-len", "15", "--split", "--send",
                                       match, "--every", "20", "--drop-every", "400", "--expect-file", expect}).isEmpty());
        w.Press("SendScriptFile");
        look.start(10);
        std::atomic<bool> clicked{false};
        std::thread user([&] {
            for (int i = 0; i < 200; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(7));
                QPushButton *button = i % 10 ? w->SendCommand : w->SendScriptFile;
                QMetaObject::invokeMethod(button, [button] { QTest::mouseClick(button, Qt::LeftButton); },
                                          Qt::QueuedConnection);
            }
            clicked = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(clicked, 4 * WaitMs);
        user.join();
        look.stop();
        findChildren<QProcess *>().last()->kill();
        QTRY_VERIFY_WITH_TIMEOUT(w->Text3->text().isEmpty(), WaitMs);
        w.Choose("BenchMenu", "BenchReconnect"); // off: no more tries
        const auto debugHanded = [&] {
            QMutexLocker hold(&lock);
            return madeDebug == handedDebug;
        };
        QTRY_VERIFY_WITH_TIMEOUT(debugHanded(), WaitMs);

        const QStringList traffic = w.Traffic(), logged = LogLines(log);
        // The window goes once the session has closed the link and the log, and it shows so.
        QString lastDebug;
        connect(w->windowHandle(), &QWindow::visibleChanged, this, [&] { lastDebug = w->List2->item(w->List2->count() - 1)->text(); });
        w.Press("AbortProgram");
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(lastDebug, QString("Log file closed."));
        QMutexLocker hold(&lock);
        QStringList lines, rows;
        for (const auto &[line, wrap] : made) {
            lines << line;
            rows << (wrap ? WrapTrafficLine(line) : QStringList{line});
        }
        QCOMPARE(QStringList(logged).filter(QRegularExpression("^(?!$|### )")), lines);
        QCOMPARE(StreamAcrossDrops(logged, ExpectedLines(expect, 300), "--> " + match + " "), QString());
        for (const QString &what : {"### Link back.", "<-- 7E 01 ", "<<- 7E 03 ", "<-- 44 01 ", "<-- 44 02 02 "})
            QVERIFY2(logged.count(what) > 1, qPrintable(what));
        qsizetype at = 0;
        for (const QString &line : std::as_const(handed)) {
            while (at < lines.size() && lines[at] != line)
                ++at;
            QVERIFY2(at++ < lines.size(), qPrintable("handed out of order: " + line));
        }
        auto from = rows.cbegin();
        for (const QStringList &shown : std::as_const(seen)) {
            from = std::search(from, rows.cend(), shown.cbegin(), shown.cend());
            QVERIFY2(from != rows.cend() || shown.isEmpty(), "the window showed rows not in order, or with a gap");
        }
        QCOMPARE(traffic, rows.mid(rows.size() - LineWindow::MaxRows));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_endtoend.moc"
