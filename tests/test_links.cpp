// Opening and closing the two links from the main window and the "COM Port Parameters"
// dialog, over a fake serial driver and a fake socket.
#include <QtTest>

#include "app/pulseclock.h"
#include "datapipe/form2.h"
#include "testwindow.h"

namespace {
const QStringList OpenCalls = {
    "InitializePort(1,0,0,0,9,0,8192,8192,0)", "ser_rs232_getport(1)", "SetPortCharacteristics(1,8,0,3,0,0)",
    "CdrvSetTimerResolution(1,1)", "SetTimeout(1,5)", "SetPaceTime(1,0)", "FlushReceiveBuffer(1)",
    "FlushTransmitBuffer(1)"};

Form2 *Configure(TestWindow &w, int dataPipe, bool initialize = true)
{
    w->ConfigComPort->click();
    w->ConfigDialog()->DataPipeSelect[dataPipe]->click();
    if (initialize)
        w->ConfigDialog()->Initialize->click();
    return w->ConfigDialog();
}
}

class TestLinks : public QObject {
    Q_OBJECT
private slots:
    void initializeOpensTheSerialPort_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("call"); // the driver call that fails
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("debug");
        QTest::addColumn<int>("calls"); // how many of OpenCalls are made
        QTest::newRow("defaults") << 1 << 2 << "" << 0 << "" << 8;
        QTest::newRow("port 9") << 9 << 2 << "" << 0 << "COM Port selection is invalid." << 0;
        QTest::newRow("port 0, speed 6") << 0 << 6 << "" << 0 << "COM Port selection is invalid." << 0;
        QTest::newRow("speed 6") << 3 << 6 << "" << 0 << "COM Speed selection is invalid." << 0;
        QTest::newRow("initialize") << 1 << 2 << "InitializePort" << 3 << "Error initializing COM port: 3" << 1;
        QTest::newRow("getport") << 1 << 2 << "ser_rs232_getport" << 4 << "Error setting COM port parameters: 4" << 2;
        QTest::newRow("characteristics")
            << 1 << 2 << "SetPortCharacteristics" << 6 << "Error setting COM port characteristics: 6" << 3;
        QTest::newRow("time out") << 1 << 2 << "SetTimeout" << 2 << "Error setting time out: 2" << 8;
    }
    void initializeOpensTheSerialPort()
    {
        QFETCH(int, calls);
        QFETCH(int, port);
        QFETCH(int, speed);
        QFETCH(QString, call);
        QFETCH(int, code);
        QFETCH(QString, debug);
        TestWindow w;
        w->Pipe.ComPort = port;
        w->ComSpeed = qint16(speed);
        w.driver.Results[call] = code;
        QVERIFY(Configure(w, 1) && !w->ConfigDialog()->isVisible());
        const bool open = calls == 8;
        const QStringList released = calls >= 2 && !open ? QStringList{"UnInitializePort(1)"} : QStringList();
        QCOMPARE(w.driver.Calls, OpenCalls.mid(0, calls) + released); // a half-opened port is let go
        QCOMPARE(w.Debug().join('|'), debug);
        QCOMPARE(w->ComPortOpen, open);
        QCOMPARE(w.Traffic(), open ? QStringList{"COM port initialized and opened."} : QStringList());
        QCOMPARE(w->Text3->text(), QString(open ? "COM1: at 19.2 kbaud" : ""));
        QCOMPARE(w->tmr1 && w->tmr1->Enabled(), open);
        QVERIFY(w->SendABreak->isEnabled()); // whatever the outcome
        w->InitComPort();
        if (open)
            QCOMPARE(w.Debug().last(), QString("** ERROR ** COM Port already open."));
    }

    void configureCommsClosesTheSerialPortUnlessBusy_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("busy"); // 1 a tick, 2 a data arrival is being handled
        QTest::newRow("closed") << 0 << "Closed COM port: 1" << 0;
        QTest::newRow("error") << 5 << "Error: 5 closing COM port: 1" << 0;
        QTest::newRow("tick busy") << 0 << "Closed COM port: 1" << 1;
        QTest::newRow("arrival busy") << 0 << "Closed COM port: 1" << 2;
    }
    void configureCommsClosesTheSerialPortUnlessBusy()
    {
        QFETCH(int, code);
        QFETCH(int, busy);
        TestWindow w;
        Configure(w, 1);
        PulseClock *timer = w->tmr1.get();
        w.driver.Results["UnInitializePort"] = code;
        if (busy) {
            (busy == 1 ? w->TickBusy : w->ArrivalBusy) = true;
            w->ConfigComPort->click();
            QCOMPARE(w.Debug(), QStringList{"Com setup attempt failed, timer stopped. --> Try again !"});
            QVERIFY(!timer->Enabled() && w->ComPortOpen && !w->ConfigDialog()->isVisible());
            w->TickBusy = w->ArrivalBusy = false;
            w->ClearDebugWindow->click();
        }
        w->ConfigComPort->click(); // the next press proceeds
        QTEST(w.Debug().join('|'), "line");
        QCOMPARE(w.driver.Calls.last(), QString("UnInitializePort(1)"));
        QVERIFY(!w->ComPortOpen && !timer->Enabled() && w->ConfigDialog()->isVisible());
        QCOMPARE(w->Text3->text(), QString());
        w->ConfigDialog()->Initialize->click();
        QCOMPARE(w->tmr1.get(), timer); // made once, reused
        QVERIFY(w->ComPortOpen && timer->Enabled());
    }

    void ethernetOpensReceivesAndCloses()
    {
        TestWindow w;
        Configure(w, 1);
        w.driver.Inbound = QByteArray::fromHex("0500"); // a serial packet left incomplete
        w->tmr1_Timer(10);
        Form2 *dialog = Configure(w, 2, false);
        QVERIFY(!dialog->ComxBtn[1]->isEnabled() && !dialog->ComBaudBtn[5]->isEnabled());
        QVERIFY(dialog->IPAddress->isEnabled() && dialog->PortNumber->isEnabled());
        dialog->PortNumber->setText(" 8080 ");
        dialog->Initialize->click();
        QCOMPARE(w.Debug(), (QStringList{"Closed COM port: 1", "Ethernet connection pending."}));
        QCOMPARE(w.socket.RemoteHost + ":" + QString::number(w.socket.RemotePort), QString("192.168.1.70:8080"));
        QVERIFY(!w->SendABreak->isEnabled());
        w.socket.RaiseConnected();
        QCOMPARE(w.Debug().last(), QString("Ethernet connection complete."));
        QCOMPARE(w->Text3->text(), QString("Ethernet IP address: 192.168.1.70   Port number: 8080"));
        QVERIFY(w->EthernetOpen && w->tmr1->Enabled() && !w->CommFlush->isEnabled());

        w.socket.Arrive(QByteArray::fromHex("0401020304"), 7);
        QCOMPARE(w.Debug().mid(3), (QStringList{"Byte counts are not equal.", "IncomingByteCount = 7",
                                                "UBound = 4  LBound = 0"}));
        QCOMPARE(w.Traffic().last(), QString("--> 04 01 02 03 04 ")); // a packet of its own
        w->ArrivalBusy = true;
        w.socket.Arrive(QByteArray::fromHex("00")); // left waiting, not lost
        QCOMPARE(w.Traffic().size(), 2);
        w->ArrivalBusy = false;
        w.socket.Arrive(QByteArray::fromHex("10"));
        QCOMPARE(w.Traffic().mid(2), (QStringList{"--> 00 ", "--> 10 "}));

        w.socket.RaisePeerClosed("The remote host closed the connection");
        QCOMPARE(w.Debug().last(), QString("Ethernet connection lost: The remote host closed the connection"));
        QVERIFY(!w->EthernetOpen && !w->tmr1->Enabled() && w->Text3->text().isEmpty());
    }

    void failedPendingAndOpenConnectionsAreClosed()
    {
        TestWindow w;
        Configure(w, 2);
        w.socket.RaiseConnectFailed("Connection refused");
        QCOMPARE(w.Debug().last(), QString("Ethernet connection failed: Connection refused"));
        Configure(w, 2);
        const int closes = w.socket.CloseCalls;
        w->ConfigComPort->click(); // the pending attempt is abandoned, never marked open
        QCOMPARE(w.socket.CloseCalls, closes + 1);
        QVERIFY(!w->EthernetOpen);
        QCOMPARE(w.Debug().last(), QString("Ethernet connection pending."));

        TestWindow both; // both links open: Ethernet is closed first
        Configure(both, 2);
        both.socket.RaiseConnected();
        both->ConfigDialog()->DataPipeSelect[1]->click();
        both->InitComPort();
        both->ConfigComPort->click();
        QCOMPARE(both.Debug().mid(2), (QStringList{"Ethernet connection closed.", "Closed COM port: 1"}));
        QVERIFY(!both->EthernetOpen && !both->ComPortOpen && !both.socket.Open);
    }

    void badPortNumberKeepsTheDialogOpen()
    {
        for (const char *text : {"abc", "0", "70000", "", "80.5"}) {
            TestWindow w;
            Form2 *dialog = Configure(w, 2, false);
            dialog->PortNumber->setText(text);
            dialog->Initialize->click();
            QCOMPARE(w.Debug(), QStringList{"Port number must be a whole number from 1 to 65535."});
            QVERIFY2(dialog->isVisible() && w.socket.ConnectCalls == 0 && w->PortNumber == 10001, text);
        }
    }

    void cancelAndEscapeOpenNothing()
    {
        for (bool escape : {false, true}) {
            TestWindow w;
            Form2 *dialog = Configure(w, 1, false);
            dialog->ComxBtn[3]->click();
            if (escape)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->Cancel1->click();
            QCOMPARE(w.Debug(), QStringList{"Comms selection cancelled."});
            QVERIFY(!dialog->isVisible());
            QCOMPARE(w->Pipe.ComPort, 3); // options take effect when clicked
            QVERIFY(w.driver.Calls.isEmpty() && w.socket.ConnectCalls == 0);
        }
    }
};

QTEST_MAIN(TestLinks)
#include "test_links.moc"
