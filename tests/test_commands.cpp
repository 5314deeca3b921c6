// What the main window does with a typed command, the key byte dialog and the bytes
// that come back: the glue between the controls, the pipe and the packet assembler.
#include <QtTest>

#include "datapipe/form2.h"
#include "display/trafficwrap.h"
#include "protocol/form3.h"
#include "testwindow.h"

namespace {
QByteArray Hex(const char *text) { return QByteArray::fromHex(text); }

QByteArray Xor(QByteArray bytes, char key)
{
    for (char &c : bytes)
        c ^= key;
    return bytes;
}

void Tick(TestWindow &w, const QByteArray &wire)
{
    w.driver.Inbound += wire;
    w->tmr1_Timer(10);
}

// Types into the key dialog and presses one of its buttons.
void UseKeyDialog(TestWindow &w, const QString &typed, const char *button)
{
    w->SetKeyByte->click();
    QVERIFY(w->KeyDialog()->isVisible());
    w->KeyDialog()->findChild<QLineEdit *>("KeyByteText")->setText(typed);
    w->KeyDialog()->findChild<QPushButton *>(button)->click();
}

void OpenEthernet(TestWindow &w)
{
    w->ConfigComPort->click();
    w->ConfigDialog()->DataPipeSelect[2]->click();
    w->ConfigDialog()->Initialize->click();
    w.socket.RaiseConnected();
}
}

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void sendCommandEchoesThenSendsWhatParsed_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("echo");
        QTest::addColumn<QString>("debug");
        QTest::addColumn<QByteArray>("sent");
        const QString bad = "Error in command string.";
        QTest::newRow("whole") << "05 00 68 6A F1 3F" << "<-- 05 00 68 6A F1 3F " << "" << Hex("0500686af13f");
        QTest::newRow("spaces, case") << " 5 a " << "<-- 5 A " << "" << Hex("050a");
        QTest::newRow("bad tail") << "05 00 ZZZ" << "<-- 05 00 ZZZ " << bad << Hex("0500");
        QTest::newRow("bad only") << "ZZZ" << "<-- ZZZ " << bad << QByteArray();
        const QString most = QString("01 ").repeated(260), over = most + "01 ";
        QTest::newRow("260 bytes") << most << "<-- " + most << "" << QByteArray(260, '\x01');
        QTest::newRow("261 bytes: refused whole, echoed all the same")
            << over << "<-- " + over << "Command longer than 260 bytes: nothing sent." << QByteArray();
    }
    void sendCommandEchoesThenSendsWhatParsed()
    {
        QFETCH(QString, typed);
        QFETCH(QString, echo);
        TestWindow w;
        w->Text5->setText(typed);
        w->MatchMsg->setFocus();
        w->SendCommand->click();
        QCOMPARE(w->Text5->text(), echo.mid(4));
        QVERIFY(w->Text5->selectedText() == w->Text5->text() && w->focusWidget() == w->Text5);
        QCOMPARE(w.Traffic(), WrapTrafficLine(echo));
        QTEST(w.Debug().join('|'), "debug");
        QTEST(w.driver.Sent, "sent");
    }

    void keyDialogSetsTheKeyByte_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("debug");
        QTest::newRow("one digit") << "7" << "70" << "Nib0 not valid: 20";
        QTest::newRow("lower case, spaces") << "  3c " << "3C" << "";
        QTest::newRow("three characters") << "A5F" << "A5" << "";
    }
    void keyDialogSetsTheKeyByte()
    {
        QFETCH(QString, typed);
        QFETCH(QString, key);
        TestWindow w;
        w->Pipe.KeyByte = 0x11;
        UseKeyDialog(w, typed, "UpdateButton");
        QCOMPARE(w->Pipe.KeyByte, key.toInt(nullptr, 16));
        QCOMPARE(w->KeyByteText->text(), key);
        QCOMPARE(w->KeyDialog()->findChild<QLineEdit *>("KeyByteText")->text(), key);
        QVERIFY(!w->KeyDialog()->isVisible());
        QTEST(w.Debug().join('|'), "debug");
    }

    void keyAppliesToBothTransportsAndCancelKeepsIt()
    {
        TestWindow w;
        UseKeyDialog(w, "5A", "UpdateButton");
        Form3 *first = w->KeyDialog();
        UseKeyDialog(w, "33", "CancelButton");
        QCOMPARE(w->Pipe.KeyByte, 0x5A);
        QCOMPARE(w->KeyByteText->text(), QString("5A"));
        QVERIFY(!first->isVisible());
        QCOMPARE(w->findChildren<Form3 *>(), QList<Form3 *>{first}); // made once, only hidden

        w->Text5->setText("05 00 FF");
        w->SendCommand->click();
        QCOMPARE(w.driver.Sent, Xor(Hex("0500ff"), 0x5A));
        OpenEthernet(w);
        w->SendCommand->click();
        QCOMPARE(w.socket.Sent, QList<QByteArray>{Xor(Hex("0500ff"), 0x5A)});
    }

    void serialTickReadsAtMost101Bytes()
    {
        TestWindow w;
        w.driver.Inbound = QByteArray(250, '\0');
        for (int left : {149, 48, 0}) {
            w->tmr1_Timer(10);
            QCOMPARE(w.driver.Inbound.size(), left);
        }
        QCOMPARE(w.Traffic().size(), 100);
    }

    void largestPacketArrivesWholeOverEthernet()
    {
        TestWindow w;
        QTemporaryDir dir;
        w.files.Answers = {dir.filePath("big.log")};
        w->SelectLogFile->click();
        OpenEthernet(w);
        const QByteArray packet = Hex("12ffff") + QByteArray(65535, '\x7e');
        w.socket.Arrive(packet.left(40000));
        QVERIFY(w->CommFlush->isEnabled());
        w.socket.Arrive(packet.mid(40000));
        QVERIFY(!w->CommFlush->isEnabled());
        const QString line = "--> 12 FF FF " + QString("7E ").repeated(65535);
        QCOMPARE(w.Traffic(), WrapTrafficLine(line).mid(WrapTrafficLine(line).size() - 100));
        QFile log(dir.filePath("big.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll().split('\n').mid(6), (QList<QByteArray>{line.toLatin1() + "\r", ""})); // after the header
    }

    void partialPacketsAcrossTicks()
    {
        TestWindow w;
        w->MatchMsg->setText("05 00 68");
        w->Text5->setText("AA");
        Tick(w, Hex("030102"));
        QVERIFY(w->CommFlush->isEnabled());
        Tick(w, Hex("03"));
        QCOMPARE(w.Traffic(), QStringList{"--> 03 01 02 03 "});
        QVERIFY(!w->CommFlush->isEnabled());
        Tick(w, Hex("050068"));
        w->CommFlush->click(); // written out, never matched
        QCOMPARE(w.Traffic().last(), QString("--> 05 00 68 "));
        QVERIFY(!w->CommFlush->isEnabled());
        Tick(w, Hex("050068"));
        w->ClearCommWindow->click(); // dropped
        Tick(w, Hex("00"));
        QCOMPARE(w.Traffic(), QStringList{"--> 00 "});
        QVERIFY(w.driver.Sent.isEmpty());
    }

    void matchPacketIsShownThenAnswered()
    {
        const struct { bool display; char key; } cases[] = {{true, '\0'}, {false, '\0'}, {true, '\x5a'}};
        for (const auto &c : cases) {
            TestWindow w;
            w->Pipe.KeyByte = quint8(c.key);
            if (!c.display)
                w->CommDisplayControl->click();
            w->Text5->setText("aa bb");
            w->MatchMsg->setText(" 05 00 68 6a f1 3f ");
            w->SendCommand->setFocus();
            Tick(w, Xor(Hex("0500686af13f"), c.key));
            QCOMPARE(w.driver.Sent, Xor(Hex("aabb"), c.key));
            QCOMPARE(w->focusWidget(), w->Text5);
            const QStringList shown = {"--> 05 00 68 6A F1 3F ", "<-- AA BB "};
            QCOMPARE(w.Traffic(), c.display ? shown : QStringList());
        }
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
