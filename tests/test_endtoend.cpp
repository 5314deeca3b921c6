// The whole program as a user drives it: the real window, dialogs, serial driver
// and socket, with the service timer running, against the device simulator (on
// loopback) and pseudo-terminals.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "app/form1.h"
#include "app/mainstartup.h"
#include "app/pulseclock.h"
#include "datapipe/form2.h"
#include "datapipe/qtserialdriver.h"
#include "datapipe/tcpsocketcontrol.h"
#include "testwindow.h"
#include "fakefiledialog.h"
#include "protocol/form3.h"
#include "pseudoterminal.h"

namespace {
constexpr int WaitMs = 10000; // only bounds a hung test; nothing is timed

QByteArray Wire(const char *hex, char key)
{
    QByteArray bytes = QByteArray::fromHex(hex);
    for (char &c : bytes)
        c ^= key;
    return bytes;
}

// Types over whatever the box holds, as a user selecting it all and typing does.
void Type(QLineEdit *box, const QString &text)
{
    box->selectAll();
    QTest::keyClicks(box, text);
}

// The program as main() starts it, over the real serial driver and socket.
struct RealWindow : WindowOver<QtSerialDriver, TcpSocketControl> {
    Form2 *Configure()
    {
        form->ConfigComPort->click();
        return form->ConfigDialog();
    }
    // False (with a failed check) when a box did not take the loopback address.
    bool OpenEthernet(quint16 port)
    {
        Form2 *dialog = Configure();
        dialog->DataPipeSelect[2]->click();
        Type(dialog->IPAddress, "127.0.0.1");
        Type(dialog->PortNumber, QString::number(port));
        // Never let a test reach for the default address on the real network.
        if (dialog->IPAddress->text() != "127.0.0.1")
            return false;
        dialog->Initialize->click();
        return true;
    }
    // False when the box did not take the pseudo-terminal: COM1 may be a real port.
    bool OpenSerial(const QString &device)
    {
        Form2 *dialog = Configure();
        dialog->DataPipeSelect[1]->click();
        dialog->ComxBtn[1]->click();
        dialog->ComBaudBtn[5]->click();
        Type(dialog->ComxDevice[1], device);
        if (dialog->ComxDevice[1]->text() != device)
            return false;
        dialog->Initialize->click();
        return true;
    }
    void SetKey(const QString &key)
    {
        form->SetKeyByte->click();
        Form3 *dialog = form->KeyDialog();
        Type(dialog->findChild<QLineEdit *>("KeyByteText"), key);
        dialog->findChild<QPushButton *>("UpdateButton")->click();
    }
    void Send(const QString &command)
    {
        Type(form->Text5, command);
        form->SendCommand->click();
    }
};
}

class TestEndToEnd : public QObject {
    Q_OBJECT

    std::vector<std::unique_ptr<QProcess>> Devices;

    // Starts the simulator on a free loopback port; 0 (with a warning) when it did not come up.
    quint16 StartDevice(const QStringList &arguments)
    {
        auto &device = Devices.emplace_back(std::make_unique<QProcess>());
        device->start(QCoreApplication::applicationDirPath() + "/../bench/quillon-device",
                      QStringList{"--tcp", "--port", "0"} + arguments);
        while (!device->canReadLine() && device->waitForReadyRead(WaitMs)) {
        }
        const QString ready = QString::fromLocal8Bit(device->readLine()).trimmed();
        if (!ready.startsWith("Device on 127.0.0.1:")) {
            qWarning() << ready << device->errorString() << device->readAllStandardError();
            return 0;
        }
        return quint16(ready.section(':', 1).toUInt());
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
        const quint16 port = StartDevice(key.isEmpty() ? QStringList() : QStringList{"--key", key});
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
        const quint16 port = StartDevice({"--send", "05 00 68 6A F1 3F"});
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

    void streamOfPacketsReachesTheLogWhole()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString expectPath = dir.filePath("expect.txt");
        const QString logPath = dir.filePath("stream.log");
        const quint16 port = StartDevice({"--stream", "300", "--seed", "7", "--max-len", "2000",
                                          "--expect-file", expectPath});
        QVERIFY(port);
        QFile expectFile(expectPath);
        QVERIFY(expectFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> expected = expectFile.readAll().split('\n').mid(0, 300);
        QCOMPARE(expected.size(), 300);
        QVERIFY(!expected.last().isEmpty());

        RealWindow w;
        w.files.Answers << logPath;
        w->SelectLogFile->click();
        QCOMPARE(w->Text2->text(), logPath + " - Active");
        QVERIFY(w.OpenEthernet(port));

        const auto inbound = [&logPath] {
            QFile log(logPath);
            QList<QByteArray> lines;
            if (!log.open(QIODevice::ReadOnly))
                return lines;
            const QByteArray text = log.readAll();
            for (const QByteArray &line : text.split('\n')) {
                if (line.startsWith("--> "))
                    lines.append(line);
            }
            return lines;
        };
        QTRY_COMPARE_WITH_TIMEOUT(inbound().size(), expected.size(), 4 * WaitMs);
        const QList<QByteArray> logged = inbound();
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QVERIFY2(logged[i].endsWith('\r'), qPrintable(QString("line %1 lacks CR").arg(i)));
            QCOMPARE(logged[i].chopped(1), expected[i]);
        }
        QVERIFY(!w->CommFlush->isEnabled()); // no partial packet was left over
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_endtoend.moc"
