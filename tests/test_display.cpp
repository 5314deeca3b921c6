#include "display/linewindow.h"
#include "display/logfile.h"
#include "display/trafficwrap.h"
#include "display/trafficwriter.h"
#include "testwindow.h"
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// "--> " and count bytes 00, 01, ... in the traffic window's byte format.
QString ByteLine(int count)
{
    QString line = "--> ";
    for (int i = 0; i < count; ++i)
        line += QString("%1 ").arg(i % 256, 2, 16, QLatin1Char('0')).toUpper();
    return line;
}
const QString Row1 = ByteLine(19).left(60); // the first row of any longer byte line
} // namespace

class TestDisplay : public QObject
{
    Q_OBJECT

private slots:
    void wrapsTrafficLinesAt19Bytes_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("rows");
        const QString second = "    13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25"; // aligned under row 1
        QTest::newRow("empty") << "" << QStringList{""};
        QTest::newRow("18 bytes, space kept") << ByteLine(18) << QStringList{ByteLine(18)};
        QTest::newRow("19 bytes, space dropped") << ByteLine(19) << QStringList{Row1};
        QTest::newRow("20 bytes") << ByteLine(20) << QStringList{Row1, "    13"};
        QTest::newRow("39 bytes") << ByteLine(39) << QStringList{Row1, second, "    26"};
        QTest::newRow("61 chars, last lost") << QString(60, 'x') + "y" << QStringList{QString(60, 'x')};
        QTest::newRow("117 chars, last lost") << QString(116, 'x') + "y" << QStringList{QString(60, 'x'), "   " + QString(56, 'x')};
    }

    void wrapsTrafficLinesAt19Bytes()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, rows);
        QCOMPARE(WrapTrafficLine(line), rows);
    }

    void aMaximumPacketWrapsIntoAlignedRowsOfWhichTheNewest100AreShown()
    {
        const QStringList rows = WrapTrafficLine(ByteLine(65535));
        QCOMPARE(rows.size(), 3450); // 19 bytes, 3448 rows of 19, then the last 4 bytes
        QCOMPARE(rows.last(), "    FB FC FD FE");
        for (const QString &row : rows.mid(1, rows.size() - 2))
            QCOMPARE(row.size(), 60);
        QListWidget list;
        list.resize(200, 100);
        list.show();
        LineWindow window(&list);
        list.addItem("user's");
        list.setCurrentRow(0); // a row the user clicked
        window.AppendRows(rows);
        QCOMPARE(TestWindow::Rows(&list), rows.mid(rows.size() - 100));
        window.AppendRow("a"); // one more row pushes out exactly one
        QCOMPARE(list.count(), 100);
        QCOMPARE(list.item(98)->text(), rows.last());
        QCOMPARE(list.item(99)->text(), "a");
        QCOMPARE(list.currentRow(), 99);
        QVERIFY(list.selectedItems().isEmpty());
        QVERIFY(list.uniformItemSizes()); // else every append measures all rows
        // Scrolled to the newest row even though no event was processed meanwhile.
        QVERIFY(list.verticalScrollBar()->maximum() > 0);
        QCOMPARE(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum());
        window.AppendRows(rows.mid(0, 150)); // a burst of more than the limit
        QCOMPARE(TestWindow::Rows(&list), rows.mid(50, 100));
        window.Clear();
        QCOMPARE(list.count(), 0);
    }

    void writersLogEveryLineButShowTrafficOnlyWithEchoAndDisplayOn_data()
    {
        QTest::addColumn<bool>("text");
        QTest::addColumn<bool>("echo");
        QTest::addColumn<bool>("display");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("traffic, shown wrapped") << false << true << true << ByteLine(20) << QStringList{Row1, "    13"};
        QTest::newRow("traffic, echo off") << false << false << true << "--> 01 02 " << QStringList();
        QTest::newRow("traffic, display off") << false << true << false << "<-- 03 " << QStringList();
        QTest::newRow("text, unwrapped, both off") << true << false << false << QString(80, 'e') << QStringList{QString(80, 'e')};
    }

    void writersLogEveryLineButShowTrafficOnlyWithEchoAndDisplayOn()
    {
        QFETCH(bool, text);
        QFETCH(QString, line);
        QFETCH(QStringList, shown);
        QFETCH(bool, echo);
        QFETCH(bool, display);
        QTemporaryDir dir;
        QListWidget list;
        LineWindow traffic(&list);
        LogFile log;
        TrafficWriter writer(traffic, log);
        writer.EchoEnabled = echo;
        writer.DisplayEnabled = display;
        QVERIFY(log.Open(dir.filePath("t.log"), QDateTime::currentDateTime()));
        QString written = line;
        text ? writer.WriteTextLine(written) : writer.WriteTrafficLine(written);
        QVERIFY(written.isEmpty());
        QCOMPARE(TestWindow::Rows(&list), shown);
        log.Close();
        QFile file(dir.filePath("t.log"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().endsWith("*****\r\n\r\n" + line.toLatin1() + "\r\n"));
    }
};

QTEST_MAIN(TestDisplay)
#include "test_display.moc"
