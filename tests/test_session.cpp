// A session through the main window's buttons: the log file, scripts driven by ticks
// over the serial pipe, and every way of ending the program.
#include <QAction>
#include <QtTest>

#include "app/pulseclock.h"
#include "datapipe/form2.h"
#include "protocol/form3.h"
#include "testwindow.h"

namespace {
QStringList LogLines(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).split("\r\n") : QStringList();
}

// The log's lines after the six of its header.
QStringList LogBody(const QString &path) { return LogLines(path).mid(6); }

void OpenSerial(TestWindow &w, int port = 1)
{
    w->ConfigComPort->click();
    w->ConfigDialog()->ComxBtn[port]->click();
    w->ConfigDialog()->Initialize->click();
    QVERIFY(w->ComPortOpen);
}

void OpenLog(TestWindow &w, const QString &path)
{
    w.files.Answers = {path};
    w->SelectLogFile->click();
    QVERIFY(w->Log.LogActive);
}

// Selects and starts a three-line script without delays; returns its path.
QString StartScript(TestWindow &w, const QTemporaryDir &dir)
{
    QFile file(dir.filePath("run.dwn"));
    if (file.open(QIODevice::WriteOnly))
        file.write("05 00\r\n; hi\r\nAA\r\n");
    file.close();
    w.files.Answers = {file.fileName()};
    w->SelectScriptFile->click();
    w->Text7->setText("0");
    w->SendScriptFile->click();
    return file.fileName();
}

// Raised as the service timer raises them, so the log is flushed after each tick.
void Ticks(TestWindow &w, int count)
{
    for (int i = 0; i < count; ++i)
        emit w->tmr1->Timer(10);
}
}

class TestSession : public QObject {
    Q_OBJECT
    QTemporaryDir Dir;

private slots:
    void openLogShowsItsPathAndWritesTheHeaderAtOnce()
    {
        TestWindow w;
        const QString path = Dir.filePath("open.log");
        OpenLog(w, path);
        QCOMPARE(w->Text2->text(), path + " - Active");
        QCOMPARE(w.files.Requests.value(0).filter, QString("Log Files (*.log)"));
        QCOMPARE(LogLines(path).mid(0, 2), (QStringList{"*****", "Log File:  " + path}));
        QCOMPARE(LogLines(path).size(), 7);
        w->CloseLogFile->click();
        w->CloseLogFile->click();
        QVERIFY(w->Text2->text().isEmpty() && !w->CloseLogFile->isEnabled() && w.Debug().isEmpty());
    }

    void failedOpenLeavesNoLogActive_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("line");
        QTest::newRow("cancel") << std::optional<QString>() << "Log File cancelled.";
        QTest::newRow("empty") << std::optional<QString>("") << "No Log specified.";
        QTest::newRow("unopenable") << std::optional<QString>(Dir.filePath("none/x.log")) << "Log File cancelled.";
        QTest::newRow("disk full") << std::optional<QString>("/dev/full") << "Error writing log file: ";
    }
    void failedOpenLeavesNoLogActive()
    {
        QFETCH(std::optional<QString>, answer);
        QFETCH(QString, line);
        TestWindow w;
        const QString previous = Dir.filePath(QTest::currentDataTag() + QString(".log"));
        OpenLog(w, previous); // closed by the next press whatever happens
        w.files.Answers = {answer};
        w->SelectLogFile->click();
        w->Text5->setText("01");
        w->SendCommand->click();
        QCOMPARE(w.Debug().size(), 1);
        QVERIFY2(w.Debug()[0].startsWith(line), qPrintable(w.Debug()[0]));
        QVERIFY(!w->Log.LogActive && w->Text2->text().isEmpty() && !w->CloseLogFile->isEnabled());
        QCOMPARE(LogBody(previous), QStringList{""});
    }

    void scriptRunsOnTicksAndMarksTheLog()
    {
        TestWindow w;
        const QString log = Dir.filePath("script.log");
        OpenSerial(w);
        OpenLog(w, log);
        const QString start = "### Start Script File: " + StartScript(w, Dir);
        w->SendScriptFile->click(); // restart
        Ticks(w, 1);
        w->AbortScriptFile->click();
        w->SendScriptFile->click();
        Ticks(w, 3);
        QCOMPARE(w->Text8->text(), QString("Completed."));
        QCOMPARE(w.driver.Sent, QByteArray::fromHex("05000500aa"));
        QCOMPARE(w.Traffic().mid(1), (QStringList{"<<- 05 00 ", "<<- 05 00 ", "; HI", "<<- AA "}));
        QCOMPARE(LogBody(log), (QStringList{
            "", start, "", "", "### Script file stopped.", "", "", start, "", "<<- 05 00 ",
            "", "### Script file aborted.", "", "", start, "", "<<- 05 00 ", "; HI", "<<- AA ",
            "", "### Script file completed.", "", ""}));

        TestWindow late; // a log opened during a script gets only the later markers
        const QString lateLog = Dir.filePath("late.log");
        OpenSerial(late);
        StartScript(late, Dir);
        Ticks(late, 1);
        OpenLog(late, lateLog);
        Ticks(late, 2);
        QCOMPARE(LogBody(lateLog), (QStringList{"; HI", "<<- AA ", "", "### Script file completed.", "", ""}));
    }

    void exitClosesOnlyWhatIsOpen()
    {
        TestWindow w;
        w->ConfigComPort->click(); // the shown dialog is hidden, not cancelled
        w->AbortProgram->click();
        QCOMPARE(w.Debug(), QStringList{"Enter Form_QueryUnload"});
        QVERIFY(!w->isVisible() && !w->ConfigDialog()->isVisible());

        TestWindow tcp;
        tcp->ConfigComPort->click();
        tcp->ConfigDialog()->DataPipeSelect[2]->click();
        tcp->ConfigDialog()->Initialize->click();
        tcp.socket.RaiseConnected();
        tcp->close();
        QCOMPARE(tcp.Debug().mid(2), (QStringList{"Enter Form_QueryUnload", "Ethernet connection closed."}));
        QVERIFY(!tcp.socket.Open && !tcp->isVisible());
    }

    void everyWayOfExitingClosesPortLogAndScript()
    {
        for (const QString way : {"Exit / Abort", "File Exit", "close box"}) {
            TestWindow w;
            QTemporaryDir dir;
            const QString log = dir.filePath("exit.log");
            OpenSerial(w, 3);
            OpenLog(w, log);
            const QString script = StartScript(w, dir);
            w->SetKeyByte->click();
            w.driver.Inbound = QByteArray::fromHex("050068");
            Ticks(w, 1);
            if (way == "Exit / Abort")
                w->AbortProgram->click();
            else if (way == "File Exit")
                w->findChild<QAction *>("ExitApp")->trigger();
            else
                w->close();
            QCOMPARE(w.Debug(), (QStringList{"Enter Form_QueryUnload", "Closed COM port: 3", "Log file closed."}));
            QCOMPARE(w.driver.Calls.last(), QString("UnInitializePort(3)"));
            QVERIFY(!w->isVisible() && !w->KeyDialog()->isVisible() && !w->tmr1 && !w->CommFlush->isEnabled());
            QCOMPARE(w->Text3->text() + "|" + w->Text8->text(), QString("|Closed"));
            QCOMPARE(w.Traffic().last(), QString("--> 05 00 68 ")); // the partial packet, written out
            // Closed before the script and the partial packet: no marker, no inbound line.
            QCOMPARE(LogBody(log), (QStringList{"", "### Start Script File: " + script, "", "<<- 05 00 ", ""}));
        }
    }

    void exitIsRefusedWhileAHandlerIsBusy()
    {
        for (bool tick : {true, false}) {
            TestWindow w;
            OpenSerial(w);
            (tick ? w->TickBusy : w->ArrivalBusy) = true;
            QVERIFY(!w->close());
            QCOMPARE(w.Debug(), (QStringList{"Enter Form_QueryUnload", "Exit attempt failed, timer stopped. --> Try again !"}));
            QVERIFY(w->isVisible() && w->ComPortOpen && w->tmr1 && !w->tmr1->Enabled());
            w->TickBusy = w->ArrivalBusy = false;
            w->AbortProgram->click();
            QCOMPARE(w.Debug().mid(2), (QStringList{"Enter Form_QueryUnload", "Closed COM port: 1"}));
            QVERIFY(!w->isVisible());
        }
    }
};

QTEST_MAIN(TestSession)
#include "test_session.moc"
