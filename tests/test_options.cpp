// What the window offers beyond the basics, each off or out of the way until used:
// the command history, timestamps (the window widened for them), reconnecting a lost
// link, and a window that grows.
#include <QAccessible>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

#include "app/commandhistory.h"
#include "display/trafficwrap.h"
#include "testwindow.h"

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void upAndDownWalkTheCommandsSentButNotTheAutomaticReplies()
    {
        TestWindow w;
        QVERIFY(w.Open({"DataPipeSelect2", "IPAddress=127.0.0.1"}));
        w.socket.RaiseConnected();
        for (const QString &command : {"01", "02", "02", "3"}) {
            Type(w->Text5, command);
            QTest::keyClick(w->Text5, Qt::Key_Return);
        }
        Type(w->Text5, "AA");
        w.socket.Arrive(QByteArray::fromHex("0500686AF13F")); // answered with AA, not remembered
        QCOMPARE(w.socket.Sent.last(), QByteArray::fromHex("AA"));
        QStringList walked;
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down,
                            Qt::Key_Down, Qt::Key_Down}) {
            QTest::keyClick(w->Text5, key);
            walked << w->Text5->text();
        }
        QCOMPARE(walked, QStringList({"3 ", "02 ", "01 ", "01 ", "02 ", "3 ", "", ""}));
    }

    void historyKeepsTheNewestFifty()
    {
        CommandHistory history;
        for (int i = 0; i < 60; ++i)
            history.Add(QString::number(i));
        QString oldest;
        while (const auto command = history.Older())
            oldest = *command;
        QCOMPARE(oldest, QString("10"));
    }

    void timestampsPutTheTimeOnEveryLineAndTheDelayOnEachPacket()
    {
        QTemporaryDir dir;
        TestWindow w;
        QVERIFY(w.OpenLog(dir.filePath("t.log")));
        QVERIFY(w.Open({"DataPipeSelect2", "IPAddress=127.0.0.1"}));
        w.socket.RaiseConnected();
        w.socket.Arrive(QByteArray::fromHex("0100")); // before any command: no delay
        QMenu *view = w.Find<QMenu>("ViewMenu");
        QMenuBar *bar = w->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(view->menuAction()).center());
        QVERIFY(QTest::qWaitFor([view] { return view->isVisible(); }));
        QTest::mouseClick(view, Qt::LeftButton, {}, view->actionGeometry(view->actions().first()).center());
        Type(w->Text5, "11 02 AA BB " + QString("01 ").repeated(24)); // wraps in the window
        QTest::keyClick(w->Text5, Qt::Key_Return);
        w.socket.Arrive(QByteArray::fromHex("1111" + QByteArray("01").repeated(17))); // 19 bytes, one row

        const QString time = R"(\d\d:\d\d:\d\d\.\d\d\d )";
        const QStringList traffic = w.Traffic();
        QCOMPARE(traffic.size(), 4);
        QCOMPARE(traffic[0], "--> 01 00 ");
        QVERIFY(QRegularExpression("^" + time + "<-- 11 02 AA BB( 01){15}$").match(traffic[1]).hasMatch());
        QVERIFY(QRegularExpression(R"(^ {17}01( 01){8}$)").match(traffic[2]).hasMatch());
        QVERIFY(QRegularExpression("^" + time + R"(--> 11 11( 01){17} \(\+\d+\.\d\d\d ms\)$)").match(traffic[3]).hasMatch());
        // The window grew to show that row whole, with room for the scroll bar.
        QVERIFY(w->List1->fontMetrics().horizontalAdvance(traffic[3]) + w->List1->verticalScrollBar()->sizeHint().width()
                <= w->List1->viewport()->width());

        w.Press("CloseLogFile");
        QFile log(dir.filePath("t.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLatin1(log.readAll()).split("\r\n").mid(6);
        QCOMPARE(lines.value(0), "--> 01 00 ");
        QCOMPARE(lines.value(1).mid(13), "<-- 11 02 AA BB " + QString("01 ").repeated(24));
        QCOMPARE(lines.value(2).left(13), traffic[3].left(13));
        QCOMPARE(lines.value(2).mid(13).section("(+", 0, 0), "--> 11 11 " + QString("01 ").repeated(17) + " ");
    }

    // "Bench" > "Reconnect When Lost", off at start, is a checkable item to screen readers.
    // On, a lost link is tried again, each try shown in one Debug row updated in place.
    void reconnectWhenLostTriesAgainInOneDebugRow()
    {
        TestWindow w;
        QMenuBar *bar = w->menuBar(); // Bench between View and Help: the accessibility golden tree
        QMenu *bench = w.Find<QMenu>("BenchMenu");
        const auto item = [bench] {
            QAccessibleInterface *item = QAccessible::queryAccessibleInterface(bench)->child(int(bench->actions().size()) - 1);
            return QString("%1 %2 checkable %3 checked %4").arg(item->role()).arg(item->text(QAccessible::Name))
                .arg(item->state().checkable).arg(item->state().checked);
        };
        const QString reconnect = QString::number(QAccessible::MenuItem) + " Reconnect When Lost checkable 1 checked ";
        QCOMPARE(item(), reconnect + "0");
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bench->menuAction()).center());
        QVERIFY(QTest::qWaitFor([bench] { return bench->isVisible(); }));
        QTest::mouseClick(bench, Qt::LeftButton, {}, bench->actionGeometry(bench->actions().last()).center());
        QCOMPARE(item(), reconnect + "1");

        QVERIFY(w.Open({"DataPipeSelect2", "IPAddress=127.0.0.1"}));
        w.socket.RaiseConnected();
        w.socket.RaisePeerClosed("Gone");
        QStringList lost = {"Ethernet connection pending.", "Ethernet connection complete.", "Ethernet connection lost: Gone"};
        QCOMPARE(w.Debug(), QStringList(lost) << "Reconnecting to 127.0.0.1:10001: try 1 in 1 s.");
        for (const QString &tries : {"1 failed (No), try 2 in 2 s.", "2 failed (No), try 3 in 4 s."}) {
            w.session.ReconnectTimer()->Clock_Timer();
            w.socket.RaiseConnectFailed("No");
            QCOMPARE(w.Debug().mid(3), QStringList{"Reconnecting to 127.0.0.1:10001: try " + tries});
        }
        w.session.ReconnectTimer()->Clock_Timer();
        w.socket.RaiseConnected();
        QCOMPARE(w.Debug(), lost << "Reconnected to 127.0.0.1:10001 at try 3." << "Ethernet connection complete.");
    }

    void stampedRowsLineUpUnderTheFirst()
    {
        const QString line = "--> 11 19 " + QString("AB ").repeated(25);
        const QStringList rows = StampedRows(line, true, "12:00:00.000", "(+1.000 ms)");
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0], "12:00:00.000 " + line.left(60));
        QCOMPARE(rows[1], QString(17, ' ') + QString("AB ").repeated(7) + "AB  (+1.000 ms)");
    }

    void theTrafficWindowTakesTheRoomOfABiggerWindow()
    {
        TestWindow w;
        const QSize smallest = w->size();
        const QRect list = w->List1->geometry(), box = w->Text5->geometry(), button = w->SendCommand->geometry();
        w->resize(smallest + QSize(200, 150));
        QTRY_COMPARE(w->List1->geometry(), list.adjusted(0, 0, 200, 150));
        QCOMPARE(w->Text5->geometry(), box.adjusted(0, 150, 200, 150));
        QCOMPARE(w->SendCommand->geometry(), button.translated(0, 150));
        w->resize(smallest - QSize(50, 50));
        QTRY_COMPARE(w->size(), smallest);
        QCOMPARE(w->List1->geometry(), list);
    }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"
