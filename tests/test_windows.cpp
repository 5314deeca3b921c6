// What only a window can get wrong, through real clicks and keys: each control
// wired to its request, the enabling rules, Enter, the dialogs' options and keys,
// accessible names, the keyboard left alone by an automatic reply, and captions
// that fit.
#include <QAccessible>
#include <QLabel>
#include <QtTest>

#include "testwindow.h"

namespace {
// What a control shows: a box's or button's text, a list's rows joined by "|",
// or whether a window is shown.
QString Shows(TestWindow &w, const QString &name)
{
    QWidget *widget = name == "Form1" ? &w.form : w.Find(name);
    if (auto *list = qobject_cast<QListWidget *>(widget))
        return w.Rows(list).join('|');
    if (widget && !widget->isWindow())
        return widget->property("text").toString();
    return widget && widget->isVisible() ? "shown" : "hidden";
}

// How many of a set of options (from index 1) screen readers hear as a selected radio button.
template <size_t N> int Checked(QRadioButton *const (&options)[N])
{
    return int(std::count_if(options + 1, options + N, [](QRadioButton *option) {
        QAccessibleInterface *heard = QAccessible::queryAccessibleInterface(option);
        return heard->role() == QAccessible::RadioButton && heard->state().checked;
    }));
}

QString AccessibleName(QObject *control)
{
    return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
}
}

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void buttonsReachTheirRequests_data()
    {
        QTest::addColumn<QStringList>("steps"); // buttons to click, or "box=text" to type
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shows"); // $DIR: the folder of the file dialog's answer
        const QString command = "Text5=01 02";
        QTest::newRow("Send Command") << QStringList{command, "SendCommand"} << "List1" << "<-- 01 02 ";
        QTest::newRow("nothing to send") << QStringList{"SendCommand"} << "List2" << "Empty command string.";
        QTest::newRow("a typo: not shown as sent") << QStringList{"Text5=0G 12", "SendCommand"} << "List1" << "";
        QTest::newRow("a typo: why") << QStringList{"Text5=0G 12", "SendCommand"} << "List2" << "Nib0 not valid: 47|Command not sent.";
        QTest::newRow("Clear") << QStringList{command, "SendCommand", "ClearCommWindow"} << "List1" << "";
        QTest::newRow("Disable") << QStringList{"CommDisplayControl"} << "CommDisplayControl" << "Enable";
        QTest::newRow("no display") << QStringList{"CommDisplayControl", command, "SendCommand"} << "List1" << "";
        QTest::newRow("Open Log File") << QStringList{"SelectLogFile"} << "Text2" << "$DIR/answer - Active";
        QTest::newRow("Set Key") << QStringList{"SetKeyByte"} << "Form3" << "shown";
        QTest::newRow("Configure Comms") << QStringList{"ConfigComPort"} << "Form2" << "shown";
        QTest::newRow("Select Script File") << QStringList{"SelectScriptFile"} << "Text6" << "$DIR/answer";
        QTest::newRow("Send Script File") << QStringList{"SelectScriptFile", "SendScriptFile"} << "Text8" << "Active.";
        QTest::newRow("Abort Script File") << QStringList{"SelectScriptFile", "SendScriptFile", "AbortScriptFile"}
                                           << "Text8" << "Aborted.";
        QTest::newRow("Clear Debug") << QStringList{"SendCommand", "ClearDebugWindow"} << "List2" << "";
        QTest::newRow("Exit / Abort") << QStringList{"AbortProgram"} << "Form1" << "hidden";
    }

    void buttonsReachTheirRequests()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, control);
        QFETCH(QString, shows);
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath("answer")).open(QIODevice::WriteOnly)); // an empty script
        TestWindow w;
        w.files.Answers << dir.filePath("answer");
        for (const QString &step : steps)
            w.Do(step);
        QCOMPARE(Shows(w, control), shows.replace("$DIR", dir.path()));
    }

    void buttonsAreEnabledOnlyWhenTheyCanAct()
    {
        TestWindow w;
        QVERIFY(!w->SendABreak->isEnabled() && !w->CommFlush->isEnabled() && !w->CloseLogFile->isEnabled());
        w.Press("ConfigComPort");
        w.Press("Initialize"); // on the fake driver
        QCOMPARE(w->Text3->text(), "COM1: at 19.2 kbaud");
        w.Press("SendABreak");
        QVERIFY(w.driver.Calls.last().startsWith("SendBreak(1,"));

        // Flush: only while part of a packet is held.
        w.driver.Inbound = QByteArray::fromHex("110301");
        QTRY_VERIFY(w->CommFlush->isEnabled());
        w.Press("CommFlush");
        QCOMPARE(w.Traffic().last(), "--> 11 03 01 ");
        QVERIFY(!w->CommFlush->isEnabled());

        QVERIFY(w.Open({"DataPipeSelect2", "IPAddress=127.0.0.1"}));
        QVERIFY(!w->SendABreak->isEnabled());

        QTemporaryDir dir;
        QVERIFY(w.OpenLog(dir.filePath("t.log")));
        QVERIFY(w->CloseLogFile->isEnabled());
        w.Press("CloseLogFile");
        QVERIFY(!w->CloseLogFile->isEnabled() && w->Text2->text().isEmpty());
    }

    void enterPressesSendCommandUnlessAnotherButtonHasFocus()
    {
        TestWindow w;
        Type(w->Text5, "5 a");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(w.Traffic(), QStringList{"<-- 5 A "});
        QCOMPARE(w.driver.Sent, QByteArray::fromHex("050A"));

        w.Press("CommDisplayControl"); // takes the focus
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QCOMPARE(w->CommDisplayControl->text(), "Disable");
        QCOMPARE(w.driver.Sent.size(), 2);
    }

    void keyDialogTakesEnterAsUpdateAndEscAsCancel()
    {
        TestWindow w;
        Type(w->KeyByteText, "77"); // the main window's box only shows the key
        QCOMPARE(w->KeyByteText->text(), "00");
        w.SetKey("5a");
        QCOMPARE(w->KeyByteText->text(), "5A");
        QVERIFY(!w.form.KeyDialog()->isVisible());
        w.SetKey("77", Qt::Key_Escape);
        QVERIFY(!w.form.KeyDialog()->isVisible());
        QCOMPARE(w->KeyByteText->text(), "5A");
        w.Press("SetKeyByte"); // shows the key in force, ready to be typed over
        QCOMPARE(w.form.KeyDialog()->findChild<QLineEdit *>("KeyByteText")->selectedText(), "5A");
        w.Do("Text5=01");
        w.Press("SendCommand");
        QCOMPARE(w.driver.Sent, QByteArray("\x5B"));
    }

    // Exactly one option of each set stays selected, whether clicked or moved to with
    // the arrow keys, and Initialize opens what is shown.
    void configurationOpensTheLinkShown_data()
    {
        QTest::addColumn<QStringList>("steps"); // as Do takes them, or an arrow key for the focused option
        QTest::addColumn<QString>("status");
        const QStringList ethernet{"DataPipeSelect2", "IPAddress=127.0.0.1", "Initialize", "ConfigComPort"};
        QTest::newRow("Ethernet again after clicking Serial")
            << ethernet + QStringList{"DataPipeSelect1", "DataPipeSelect2", "Initialize"}
            << "Ethernet IP address: 127.0.0.1   Port number: 10001";
        QTest::newRow("serial after Ethernet")
            << ethernet + QStringList{"DataPipeSelect1", "ComxBtn3", "ComBaudBtn5", "Initialize"}
            << "COM3: at 115.2 kbaud";
        QTest::newRow("options clicked twice")
            << QStringList{"ComxBtn2", "ComxBtn2", "ComBaudBtn1", "ComBaudBtn1", "DataPipeSelect1", "Initialize"}
            << "COM2: at 9.6 kbaud";
        QTest::newRow("arrow keys, serial")
            << QStringList{"ComxBtn2", "Down", "Down", "Up", "ComBaudBtn4", "Down", "Right", "DataPipeSelect2", "Left", "Up",
                           "Initialize"}
            << "COM3: at 115.2 kbaud";
        QTest::newRow("arrow keys, Ethernet")
            << QStringList{"ComxBtn8", "Down", "Up", "ComBaudBtn1", "Up", "DataPipeSelect1", "Down", "IPAddress=127.0.0.1",
                           "Initialize"}
            << "Ethernet IP address: 127.0.0.1   Port number: 10001";
        QTest::newRow("address holding %2")
            << QStringList{"DataPipeSelect2", "IPAddress=fe80::1%2", "PortNumber=2", "Initialize"}
            << "Ethernet IP address: fe80::1%2   Port number: 2";
    }

    void configurationOpensTheLinkShown()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, status);
        TestWindow w;
        w.Press("ConfigComPort");
        Form2 *dialog = w->ConfigDialog();
        const QHash<QString, Qt::Key> arrows{
            {"Up", Qt::Key_Up}, {"Down", Qt::Key_Down}, {"Left", Qt::Key_Left}, {"Right", Qt::Key_Right}};
        for (const QString &step : steps) {
            const int connects = w.socket.ConnectCalls;
            if (arrows.contains(step))
                QTest::keyClick(QApplication::focusWidget(), arrows.value(step));
            else
                w.Do(step);
            if (w.socket.ConnectCalls > connects)
                w.socket.RaiseConnected(); // the fake peer answers at once
            QVERIFY2(Checked(dialog->DataPipeSelect) == 1 && Checked(dialog->ComxBtn) == 1
                         && Checked(dialog->ComBaudBtn) == 1, qPrintable("after " + step));
        }
        QCOMPARE(w->Text3->text(), status);
    }

    void controlsAreNamedAsTheyRead()
    {
        TestWindow w;
        for (const char *name : {"CommDisplayControl", "SetKeyByte", "ConfigComPort"})
            w.Press(name);
        for (QAbstractButton *button : w.form.findChildren<QAbstractButton *>())
            QCOMPARE(AccessibleName(button), button->text().remove('&'));
        for (QWidget *box : w.form.findChildren<QWidget *>()) {
            if (qobject_cast<QLineEdit *>(box) || qobject_cast<QListWidget *>(box))
                QVERIFY2(!AccessibleName(box).isEmpty(), qPrintable(box->objectName()));
        }
        QCOMPARE(AccessibleName(w->CommDisplayControl), "Enable");
        QCOMPARE(AccessibleName(w.Find("ComxDevice3")), "COM3 device");
        QCOMPARE(AccessibleName(w.form.KeyDialog()->findChild<QLineEdit *>("KeyByteText")), "Key byte");
    }

    // The match packet's reply goes out while the user is typing, the command half
    // typed or another box in hand.
    void automaticReplyLeavesTheKeyboardAlone_data()
    {
        QTest::addColumn<QString>("box"); // the cursor one left of its end
        QTest::addColumn<QString>("shows"); // after "5" is typed
        QTest::newRow("command") << "Text5" << "051 ";
        QTest::newRow("script delay") << "Text7" << "10050";
    }

    void automaticReplyLeavesTheKeyboardAlone()
    {
        QFETCH(QString, box);
        QFETCH(QString, shows);
        TestWindow w;
        Type(w->Text5, "01");
        QVERIFY(w.Open({"DataPipeSelect2", "IPAddress=127.0.0.1"}));
        w.socket.RaiseConnected();
        QLineEdit *typing = w.Find<QLineEdit>(box);
        Type(typing, typing->text());
        QTest::keyClick(typing, Qt::Key_Left);

        w.socket.Arrive(QByteArray::fromHex("0500686AF13F"));
        QCOMPARE(w.Traffic(), QStringList({"--> 05 00 68 6A F1 3F ", "<-- 01 "}));
        QCOMPARE(w.socket.Sent, QList<QByteArray>{QByteArray::fromHex("01")});
        QTest::keyClicks(QApplication::focusWidget(), "5"); // where the keyboard was, at the cursor
        QCOMPARE(typing->text(), shows);
    }

    void everyCaptionFitsAndTrafficColumnsLineUp()
    {
        TestWindow w;
        const QFontMetrics traffic(w->List1->font());
        QCOMPARE(traffic.horizontalAdvance("W"), traffic.horizontalAdvance("i"));
        w.Press("SetKeyByte");
        w.Press("ConfigComPort");
        w.Choose("BenchMenu", "BenchAnswers");
        w.Press("AddAnswer");
        w.Choose("BenchMenu", "BenchCommands");
        for (QWidget *control : w.form.findChildren<QWidget *>()) {
            if (!control->isVisible())
                continue; // laid out only when shown
            // A radio button's hint is its indicator and text; a push button's text sits within margins.
            const auto *label = qobject_cast<QLabel *>(control);
            const auto *button = qobject_cast<QAbstractButton *>(control);
            const int needs = qobject_cast<QRadioButton *>(control) ? control->sizeHint().width()
                : control->fontMetrics().horizontalAdvance(label ? label->text() : button ? button->text() : QString())
                    + (button ? control->style()->pixelMetric(QStyle::PM_ButtonMargin) : 0);
            QVERIFY2(needs <= control->contentsRect().width(), qPrintable(control->objectName()));
        }
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
