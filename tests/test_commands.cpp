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
        QTest::addColumn<QStringList>("debug");
        QTest::addColumn<QByteArray>("sent");
        const QStringList bad = {"Error in command string."};
        QTest::newRow("whole") << "05 00 68 6A F1 3F" << "<-- 05 00 68 6A F1 3F " << QStringList() << Hex("0500686af13f");
        QTest::newRow("spaces, case") << " 5 a " << "<-- 5 A " << QStringList() << Hex("050a");
        QTest::newRow("bad tail") << "05 00 ZZZ" << "<-- 05 00 ZZZ " << bad << Hex("0500");
        QTest::newRow("bad only") << "ZZZ" << "<-- ZZZ " << bad << QByteArray();
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
        QCOMPARE(w->Text5->selectedText(), w->Text5->text());
        QCOMPARE(w->focusWidget(), w->Text5);
        QCOMPARE(w.Traffic(), QStringList{echo});
        QTEST(w.Debug(), "debug");
        QTEST(w.driver.Sent, "sent");
    }

    void commandOfMoreThan260BytesIsRefusedWhole()
    {
        TestWindow w;
        w->Text5->setText(QString("01 ").repeated(260));
        w->SendCommand->click();
        QCOMPARE(w.driver.Sent, QByteArray(260, '\x01'));
        w.driver.Sent.clear();
        w->ClearCommWindow->click();
        w->Text5->setText(QString("01 ").repeated(261));
        w->SendCommand->click();
        QCOMPARE(w.Debug(), QStringList{"Command longer than 260 bytes: nothing sent."});
        QVERIFY(w.driver.Sent.isEmpty());
        QCOMPARE(w.Traffic(), WrapTrafficLine("<-- " + QString("01 ").repeated(261))); // echoed all the same
    }

    void keyDialogSetsTheKeyByte_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("debug");
        QTest::newRow("one digit") << "7" << 0x70 << QStringList{"Nib0 not valid: 20"};
        QTest::newRow("lower case, spaces") << "  3c " << 0x3C << QStringList();
        QTest::newRow("three characters") << "A5F" << 0xA5 << QStringList();
        QTest::newRow("empty") << "" << 0x00 << QStringList{"Nib1 not valid: 20", "Nib0 not valid: 20"};
    }
    void keyDialogSetsTheKeyByte()
    {
        QFETCH(QString, typed);
        QFETCH(int, key);
        TestWindow w;
        w->Pipe.KeyByte = 0x11;
        UseKeyDialog(w, typed, "UpdateButton");
        QCOMPARE(w->Pipe.KeyByte, key);
        const QString text = QString("%1").arg(key, 2, 16, QChar('0')).toUpper();
        QCOMPARE(w->KeyByteText->text(), text);
        QCOMPARE(w->KeyDialog()->findChild<QLineEdit *>("KeyByteText")->text(), text);
        QVERIFY(!w->KeyDialog()->isVisible());
        QTEST(w.Debug(), "debug");
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
        const QStringList rows = WrapTrafficLine(line);
        QCOMPARE(w.Traffic(), rows.mid(rows.size() - 100));

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

    void matchPacketIsShownThenAnswered_data()
    {
        QTest::addColumn<bool>("display");
        QTest::addColumn<char>("key");
        QTest::newRow("plain") << true << '\0';
        QTest::newRow("display off") << false << '\0';
        QTest::newRow("key byte") << true << '\x5a';
    }
    void matchPacketIsShownThenAnswered()
    {
        QFETCH(bool, display);
        QFETCH(char, key);
        TestWindow w;
        w->Pipe.KeyByte = quint8(key);
        if (!display)
            w->CommDisplayControl->click();
        w->Text5->setText("aa bb");
        w->MatchMsg->setText(" 05 00 68 6a f1 3f ");
        w->SendCommand->setFocus();
        Tick(w, Xor(Hex("0500686af13f"), key));
        QCOMPARE(w.driver.Sent, Xor(Hex("aabb"), key));
        QCOMPARE(w->focusWidget(), w->Text5);
        const QStringList shown = {"--> 05 00 68 6A F1 3F ", "<-- AA BB "};
        QCOMPARE(w.Traffic(), display ? shown : QStringList());
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
