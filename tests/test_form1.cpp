// The main window as a user meets it: start-up defaults, the default button, the
// display buttons and the service tick's dispatch.
#include <QFontMetrics>
#include <QtTest>

#include "app/pulseclock.h"
#include "datapipe/form2.h"
#include "testwindow.h"

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void startsWithEveryControlAtItsDefault();
    void configurationDialogStartsHiddenWithSerialDefaults();
    void everyControlCanBeFoundByAccessibleName();
    void sendCommandRightAfterStartPostsEmptyCommand();
    void twoRunsNeverShareASetting();
    void enterPressesSendCommandUnlessAnotherButtonHasFocus();
    void displayButtonTogglesAndHidesTrafficButStillLogs();
    void clearButtonsEmptyTheirWindows();
    void debugWindowKeepsNewest100Lines();
    void noTickRunsBeforeALinkIsOpened();
    void tickIsDroppedWhileAnotherIsBusy();
    void tickWithWrongDataPipePostsItsLine();
    void ethernetTickNeverReadsInboundData();
};

void TestForm1::startsWithEveryControlAtItsDefault()
{
    TestWindow w;
    QCOMPARE(w->windowTitle(), QString("Quillon"));
    QVERIFY(w->isVisible());
    QCOMPARE(w->Text5->text(), QString());
    QCOMPARE(w->MatchMsg->text(), QString("05 00 68 6A F1 3F"));
    QCOMPARE(w->Text7->text(), QString("1000"));
    QCOMPARE(w->Text1->text(), QString("----"));
    QVERIFY(!w->Text1->isEnabled());
    QCOMPARE(w->CommDisplayControl->text(), QString("Disable"));
    QCOMPARE(w->KeyByteText->text(), QString("00"));
    for (QPushButton *off : {w->CommFlush, w->SendABreak, w->CloseLogFile})
        QVERIFY2(!off->isEnabled(), qPrintable(off->objectName()));
    for (QLineEdit *box : {w->Text2, w->Text3, w->Text6, w->Text8})
        QCOMPARE(box->text(), QString());
    QCOMPARE(w->Text7->cursorPosition(), 4);
    QCOMPARE(w->MatchMsg->cursorPosition(), 17);
    QVERIFY(w.Traffic().isEmpty());
    QVERIFY(w.Debug().isEmpty());
    const QFontMetrics traffic(w->List1->font()); // byte columns of wrapped rows must line up
    QCOMPARE(traffic.horizontalAdvance("W"), traffic.horizontalAdvance("i"));
    QVERIFY(w->SendCommand->isDefault());
    QCOMPARE(w->Pipe.DataPipe, qint16(1));
    QCOMPARE(w->Pipe.ComPort, 1);
    QCOMPARE(w->ComSpeed, qint16(2));
    QCOMPARE(w->IPAddress, QString("192.168.1.70"));
    QCOMPARE(w->PortNumber, 10001);
    QCOMPARE(w->Inbound.InState, 1);
    QCOMPARE(w->Pipe.OutCount, 0);
    QCOMPARE(w->Pipe.OutPacket.size(), 1);
    QVERIFY(!w->Log.LogActive);
    QCOMPARE(w->Script.ScriptState, qint16(0));
    QVERIFY(!w->tmr1);
    QVERIFY(w.driver.Calls.isEmpty());
    QCOMPARE(w.socket.ConnectCalls, 0);

    const QStringList menus = {"FileMenu", "ExitApp", "menuHelp", "menuHelpAbout"};
    for (const QString &name : menus)
        QVERIFY2(w->findChild<QObject *>(name), qPrintable(name));
}

void TestForm1::configurationDialogStartsHiddenWithSerialDefaults()
{
    TestWindow w;
    Form2 *dialog = w->ConfigDialog();
    QVERIFY(dialog);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QString("COM Port Parameters"));
    QVERIFY(dialog->DataPipeSelect[1]->isChecked());
    QVERIFY(dialog->ComxBtn[1]->isChecked());
    QVERIFY(dialog->ComBaudBtn[2]->isChecked());
    QCOMPARE(dialog->IPAddress->text(), QString("192.168.1.70"));
    QCOMPARE(dialog->PortNumber->text(), QString("10001"));
    QVERIFY(!dialog->IPAddress->isEnabled());
    QVERIFY(!dialog->PortNumber->isEnabled());
    for (int i = 1; i <= 8; ++i)
        QVERIFY(dialog->ComxBtn[i]->isEnabled());
    for (int i = 1; i <= 5; ++i)
        QVERIFY(dialog->ComBaudBtn[i]->isEnabled());
}

void TestForm1::everyControlCanBeFoundByAccessibleName()
{
    TestWindow w;
    const QStringList expected = {
        "Comm's", "Clear", "Disable", "Flush", "Set Key", "Key byte", "Send Command",
        "OutBound Command", "Send Break", "Match Packet - sends OutBound Command",
        "Script File Delay", "Send Script File", "Script file", "Abort Script File",
        "Select Script File", "Script file status", "Service time interval (msec)",
        "Open Log File", "Log file", "Close Log File", "Configure Comms", "Link status",
        "Clear Debug", "Debug", "Exit / Abort"};
    QStringList found;
    const auto controls = w->centralWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *control : controls) {
        QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
        found.append(control->accessibleName());
    }
    for (const QString &name : expected)
        QVERIFY2(found.contains(name), qPrintable(name));
}

void TestForm1::sendCommandRightAfterStartPostsEmptyCommand()
{
    TestWindow w;
    QTest::mouseClick(w->SendCommand, Qt::LeftButton);
    QCOMPARE(w.Debug(), QStringList{"Empty command string."});
    QVERIFY(w.Traffic().isEmpty());
    QVERIFY(w.driver.Calls.isEmpty());
}

void TestForm1::twoRunsNeverShareASetting()
{
    {
        TestWindow first;
        first->ConfigDialog()->ComxBtn[3]->setChecked(true);
        first->IPAddress = "10.0.0.9";
        first->Pipe.KeyByte = 0x5A;
        QCOMPARE(first->Pipe.ComPort, 3);
    }
    TestWindow second;
    QCOMPARE(second->Pipe.ComPort, 1);
    QCOMPARE(second->IPAddress, QString("192.168.1.70"));
    QCOMPARE(second->Pipe.KeyByte, 0);
    QVERIFY(second->ConfigDialog()->ComxBtn[1]->isChecked());
}

void TestForm1::enterPressesSendCommandUnlessAnotherButtonHasFocus()
{
    TestWindow w;
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    w->Text5->setFocus();
    QTest::keyClicks(w->Text5, "5 a");
    QTest::keyClick(w->Text5, Qt::Key_Return);
    QCOMPARE(w.Traffic(), QStringList{"<-- 5 A "});
    QCOMPARE(w.driver.Calls, (QStringList{"PutByte(1,5)", "PutByte(1,10)", "ser_rs232_putpacket(1,0,0)"}));

    // On another button Enter presses that button instead.
    w->ClearCommWindow->setFocus();
    QTest::keyClick(w->ClearCommWindow, Qt::Key_Enter);
    QVERIFY(w.Traffic().isEmpty());
    QCOMPARE(w.driver.Calls.size(), 3);
}

void TestForm1::displayButtonTogglesAndHidesTrafficButStillLogs()
{
    TestWindow w;
    QTemporaryDir dir;
    const QString path = dir.filePath("display.log");
    w.files.Answers = {path};
    w->SelectLogFile->click();

    w->CommDisplayControl->click();
    QCOMPARE(w->CommDisplayControl->text(), QString("Enable"));
    w->Text5->setText("01");
    w->SendCommand->click();
    QVERIFY(w.Traffic().isEmpty());

    w->CommDisplayControl->click();
    QCOMPARE(w->CommDisplayControl->text(), QString("Disable"));
    w->SendCommand->click();
    QCOMPARE(w.Traffic(), QStringList{"<-- 01 "});

    QFile log(path);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    QCOMPARE(text.count("<-- 01 \r\n"), 2);
}

void TestForm1::clearButtonsEmptyTheirWindows()
{
    TestWindow w;
    w->Text5->setText("01 02");
    w->SendCommand->click();
    w->SendCommand->setFocus();
    w->Text5->clear();
    w->SendCommand->click();
    QCOMPARE(w.Traffic().size(), 1);
    QCOMPARE(w.Debug().size(), 1);

    w->ClearCommWindow->click();
    QVERIFY(w.Traffic().isEmpty());
    QCOMPARE(w.Debug().size(), 1);
    w->ClearDebugWindow->click();
    QVERIFY(w.Debug().isEmpty());
}

void TestForm1::debugWindowKeepsNewest100Lines()
{
    TestWindow w;
    for (int i = 1; i <= 101; ++i)
        w->Post(QString("line %1").arg(i));
    const QStringList rows = w.Debug();
    QCOMPARE(rows.size(), 100);
    QCOMPARE(rows.first(), QString("line 2"));
    QCOMPARE(rows.last(), QString("line 101"));
}

void TestForm1::noTickRunsBeforeALinkIsOpened()
{
    TestWindow w;
    w.driver.Inbound = QByteArray::fromHex("00");
    QTest::qWait(50);
    QVERIFY(!w->tmr1);
    QVERIFY(w.driver.Calls.isEmpty());
    QVERIFY(w.Traffic().isEmpty());
}

void TestForm1::tickIsDroppedWhileAnotherIsBusy()
{
    TestWindow w;
    w.driver.Inbound = QByteArray::fromHex("00");
    w->TickBusy = true;
    w->tmr1_Timer(10);
    QVERIFY(w.driver.Calls.isEmpty());
    QVERIFY(w->TickBusy);

    w->TickBusy = false;
    w->tmr1_Timer(20);
    QCOMPARE(w.Traffic(), QStringList{"--> 00 "});
    QVERIFY(!w->TickBusy);
}

void TestForm1::tickWithWrongDataPipePostsItsLine()
{
    TestWindow w;
    w->Pipe.DataPipe = 3;
    w->tmr1_Timer(10);
    w->tmr1_Timer(20);
    QCOMPARE(w.Debug(), QStringList(2, "Error in tmr routine.  DataPipe value wrong."));
    QVERIFY(w.driver.Calls.isEmpty());
}

void TestForm1::ethernetTickNeverReadsInboundData()
{
    TestWindow w;
    w->Pipe.DataPipe = 2;
    w.socket.Waiting = QByteArray::fromHex("00");
    w->Pipe.RxBuffer = QByteArray::fromHex("00");
    w->Pipe.RxIndex = 0;
    w->Pipe.RxLast = 0;
    w->tmr1_Timer(10);
    QVERIFY(w.Traffic().isEmpty());
    QCOMPARE(w->Pipe.RxIndex, 0);
}

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
