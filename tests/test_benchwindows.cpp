// The bench's windows through real clicks and keys: answer rules and saved commands as
// a user sets them up, and bench files opened and saved from the File menu.
#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include "testwindow.h"
#include "windows/answerswindow.h"
#include "windows/commandswindow.h"

namespace {
QByteArray Hex(const char *text) { return QByteArray::fromHex(text); }

// What a screen reader hears of a control: role, name, and checked when it is.
QString Heard(QWidget *control)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(control);
    return QString("%1 \"%2\"%3").arg(face->role()).arg(face->text(QAccessible::Name)).arg(face->state().checked ? " checked" : "");
}

// A window over an Ethernet link that is up.
struct Linked : TestWindow {
    Linked()
    {
        QVERIFY(Open({"DataPipeSelect2", "IPAddress=127.0.0.1"}));
        socket.RaiseConnected();
    }
    // The bytes sent for one packet from the device.
    QByteArray Answer(const char *packet)
    {
        const qsizetype before = socket.Sent.size();
        socket.Arrive(Hex(packet));
        return socket.Sent.mid(before).join();
    }
    // A click on a row of the list; twice, the events of a double-click: press, release,
    // double-click, release.
    void ClickRow(QTableWidget *list, int row, bool twice = false)
    {
        const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (twice) {
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        }
    }
};
}

class TestBenchWindows : public QObject {
    Q_OBJECT
private slots:
    void answersAreSetUpInTheirWindowAndTriedTopToBottom()
    {
        Linked w;
        QStringList menus;
        for (QAction *menu : w->menuBar()->actions())
            menus << menu->text();
        QCOMPARE(menus, (QStringList{"&File", "&View", "&Bench", "&Help"}));
        w.Choose("BenchMenu", "BenchAnswers");
        for (const char *reply : {"01", "02"}) {
            w.Press("AddAnswer");
            Type(w.Find<QLineEdit>(QString("AnswerWhen%1").arg(w.form.AnswersDialog()->Rules().size())), "11 01 ??");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClicks(QApplication::focusWidget(), reply); // the Reply box is next
        }
        QCOMPARE(w.Find<QLabel>("AnswerStatus2")->text(), "Active");
        QCOMPARE(w.Answer("1101ff"), Hex("01"));
        const QStringList heard{Heard(w.Find("AnswerOn1")), Heard(w.Find("AnswerWhen1")), Heard(w.Find("AnswerDelay1")),
                                Heard(w.Find("AnswerStatus1")), Heard(w.Find("MoveAnswerUp"))};
        QCOMPARE(heard, (QStringList{"44 \"Rule 1 On\" checked", "42 \"Rule 1 When\"", "52 \"Rule 1 Delay (ms)\"",
                                     "41 \"Active\"", "43 \"Move Up\""})); // check box, text, spin box, label, button

        ClickOn(w.Find<QCheckBox>("AnswerOn1")); // the first rule off: the second answers
        QCOMPARE(w.Find<QLabel>("AnswerStatus1")->text(), "Off");
        QCOMPARE(w.Answer("1101ff"), Hex("02"));
        Type(w.Find<QLineEdit>("AnswerWhen2"), "11 01 0G"); // broken: marked, never answers
        QCOMPARE(w.Find<QLabel>("AnswerStatus2")->text(), "Not active: When: \"0G\" is not a byte (two hex digits) or ??.");
        QCOMPARE(w.Answer("1101ff"), QByteArray());
        w.Press("MoveAnswerUp"); // the rule in hand, the second, goes first
        QCOMPARE(w.form.AnswersDialog()->Rules().first().when, "11 01 0G");
        QVERIFY(!w.Find<QWidget>("MoveAnswerUp")->isEnabled());
        w.Press("RemoveAnswer");
        ClickOn(w.Find<QCheckBox>("AnswerOn1"));
        Type(w.Find<QLineEdit>("AnswerReply1"), "7E");
        QCOMPARE(w.Answer("1101ff"), Hex("7E"));
        QVERIFY(w.Find("AnswerWhen2") == nullptr);
        QCOMPARE(w->Text5->text(), QString()); // the box is not the answers'
    }

    void savedCommandsGoOutAsTheBoxsTextDoes()
    {
        Linked w;
        Type(w->Text5, "AA");
        w.Choose("BenchMenu", "BenchCommands");
        for (const auto &[name, command] : {std::pair{"Wake up", "05 00 68 6A F1 3F"}, {"Bad", "01  02"}}) {
            w.Press("AddCommand");
            Type(w.Find<QLineEdit>("CommandName"), name);
            Type(w.Find<QLineEdit>("CommandBytes"), command);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        auto *list = w.Find<QTableWidget>("CommandList");
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(Heard(list), "24 \"Saved commands\""); // a table
        w.ClickRow(list, 0);
        QTest::keyClick(list, Qt::Key_Return);
        w.ClickRow(list, 1, true);
        QCOMPARE(w.socket.Sent, QList<QByteArray>{Hex("0500686af13f")}); // the second refused, as from the box
        QCOMPARE(w.Traffic(), QStringList{"<-- 05 00 68 6A F1 3F "});
        QCOMPARE(w.Debug().mid(w.Debug().size() - 2), (QStringList{"Error in command string.", "Command not sent."}));

        w.Press("MoveCommandUp"); // the second, still selected
        w.Press("EditCommand");
        Type(w.Find<QLineEdit>("CommandBytes"), "7E");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(Reach(w->Text5));
        for (Qt::Key key : {Qt::Key_1, Qt::Key_2, Qt::Key_3})
            QTest::keyClick(&w.form, key, Qt::ControlModifier);
        QCOMPARE(w.socket.Sent.mid(1), (QList<QByteArray>{Hex("7E"), Hex("0500686af13f")}));
        QCOMPARE(w.Debug().last(), "No saved command 3: \"Bench\" > \"Commands…\" adds it.");
        QCOMPARE(w->Text5->text(), "AA"); // the box keeps its text; the history has the saved ones
        QTest::keyClick(w->Text5, Qt::Key_Up);
        QCOMPARE(w->Text5->text(), "05 00 68 6A F1 3F");
        w.Choose("BenchMenu", "BenchCommands");
        w.ClickRow(list, 0);
        w.Press("RemoveCommand");
        QCOMPARE(w.form.CommandsDialog()->Commands(), (QList<SavedCommand>{{"Wake up", "05 00 68 6A F1 3F"}}));
    }

    // Opening puts every setting in place without a link, saving writes them back as
    // they were; a file that does not read changes nothing.
    void benchFilesOpenEverySettingAndSaveItBack()
    {
        QTemporaryDir dir;
        const QString golden = QFINDTESTDATA("golden/full.qbench"), saved = dir.filePath("saved.qbench");
        const QString broken = dir.filePath("broken.qbench"), unknown = dir.filePath("unknown.qbench");
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("{\"link\": {\"port\": 0}}") > 0);
        file.close();
        file.setFileName(unknown);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("{\"colour\": \"red\"}") > 0);
        file.close();

        Linked w;
        QVERIFY(!w.Find<QAction>("SaveBenchFile")->isEnabled());
        w.files.Answers << golden << saved << broken << unknown;
        w.Choose("FileMenu", "OpenBenchFile");
        QCOMPARE(w.Debug().mid(2), (QStringList{"Ethernet connection closed.", "Bench file opened: " + golden
                                                + "; \"Initialize\" opens its link."}));
        QCOMPARE(w.Find<QAction>("ViewTimestamps")->isChecked(), true);
        QStringList shown;
        for (QLineEdit *box : {w->KeyByteText, w->Text5, w->Text7, w->MatchMsg, w.Find<QLineEdit>("IPAddress"),
                               w.Find<QLineEdit>("PortNumber"), w.Find<QLineEdit>("AnswerWhen2")})
            shown << box->text();
        QCOMPARE(shown, (QStringList{"5A", "7E 00", "200", "11 06 05 00 68 6A F1 3F", "127.0.0.1", "10002", "11 02 7E ??"}));
        QVERIFY(w->ConfigDialog()->DataPipeSelect[2]->isChecked() && !w.session.EthernetOpen());
        QCOMPARE(w.form.CommandsDialog()->Commands().size(), 2);

        w.Choose("FileMenu", "SaveBenchFileAs");
        QFile written(saved), expected(golden);
        QVERIFY(written.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), expected.readAll());
        QCOMPARE(w.Debug().last(), "Bench file saved: " + saved);

        w.Choose("FileMenu", "OpenBenchFile");
        QCOMPARE(w.Debug().last(), "Bench file not opened: " + broken + ": \"link.port\" must be a whole number from 1 to 65535");
        QCOMPARE(w->MatchMsg->text(), "11 06 05 00 68 6A F1 3F");
        w.Choose("FileMenu", "OpenBenchFile"); // what it leaves out goes back to the start-up default
        QCOMPARE(w.Debug().mid(w.Debug().size() - 2),
                 (QStringList{"Bench file opened: " + unknown + "; \"Initialize\" opens its link.",
                              "Bench file: unknown field \"colour\" ignored."}));
        QCOMPARE(w->MatchMsg->text() + "|" + w->KeyByteText->text(), "05 00 68 6A F1 3F|00");
        QVERIFY(w.form.AnswersDialog()->Rules().isEmpty() && w->ConfigDialog()->DataPipeSelect[1]->isChecked());
        QVERIFY(w.Find<QAction>("SaveBenchFile")->isEnabled());

        w.files.Answers << std::nullopt << QString() << QString() << std::nullopt;
        for (const char *entry : {"OpenBenchFile", "OpenBenchFile", "SaveBenchFileAs", "SaveBenchFileAs"})
            w.Choose("FileMenu", entry);
        QCOMPARE(w.Debug().mid(w.Debug().size() - 4), (QStringList{"Bench file cancelled.", "No Bench file specified.",
                                                                   "No Bench file specified.", "Bench file cancelled."}));
    }
};

QTEST_MAIN(TestBenchWindows)
#include "test_benchwindows.moc"
