#include "display/linewindow.h"
#include "display/logfile.h"
#include "display/trafficwrap.h"
#include "display/trafficwriter.h"
#include <QListWidget>
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

QStringList Rows(const QListWidget &list)
{
    QStringList rows;
    for (int i = 0; i < list.count(); ++i)
        rows << list.item(i)->text();
    return rows;
}
} // namespace

class TestDisplay : public QObject
{
    Q_OBJECT

private slots:
    void wrapsTrafficLinesAt19Bytes_data();
    void wrapsTrafficLinesAt19Bytes();
    void aPacketOfMaximumSizeWrapsIntoAlignedRows();
    void keepsOnlyTheNewest100Rows();
    void newestRowIsCurrentAndNothingIsSelected();
    void appendingABurstEqualsAppendingRowByRow();
    void trafficLinesAreLoggedWholeAndShownWrapped();
    void switchesHideTrafficButNotTheLog();
    void textLinesAreShownUnwrappedWhateverTheSwitches();
    void clearEmptiesTheList();
};

void TestDisplay::wrapsTrafficLinesAt19Bytes_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("rows");
    const QString indent(4, ' ');
    const QString second = "    13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25";
    QTest::newRow("6 bytes") << "--> 05 00 68 6A F1 3F " << QStringList{"--> 05 00 68 6A F1 3F "};
    QTest::newRow("empty") << "" << QStringList{""};
    QTest::newRow("18 bytes, space kept") << ByteLine(18) << QStringList{ByteLine(18)};
    QTest::newRow("19 bytes, space dropped") << ByteLine(19) << QStringList{ByteLine(19).left(60)};
    QTest::newRow("20 bytes") << ByteLine(20) << QStringList{ByteLine(19).left(60), indent + "13"};
    QTest::newRow("38 bytes") << ByteLine(38) << QStringList{ByteLine(19).left(60), second};
    QTest::newRow("39 bytes") << ByteLine(39) << QStringList{ByteLine(19).left(60), second, indent + "26"};
    const QString comment = "; " + QString(70, 'c') + "END";
    QTest::newRow("long text loses last char")
        << comment << QStringList{comment.left(60), "   " + comment.mid(60, comment.size() - 61)};
    QTest::newRow("117 chars, two rows, last lost")
        << QString(116, 'x') + "y" << QStringList{QString(60, 'x'), "   " + QString(56, 'x')};
    QTest::newRow("60 chars, one row") << QString(60, 'x') << QStringList{QString(60, 'x')};
    QTest::newRow("61 chars, last lost") << QString(60, 'x') + "y" << QStringList{QString(60, 'x')};
}

void TestDisplay::wrapsTrafficLinesAt19Bytes()
{
    QFETCH(QString, line);
    QFETCH(QStringList, rows);
    QCOMPARE(WrapTrafficLine(line), rows);
}

void TestDisplay::aPacketOfMaximumSizeWrapsIntoAlignedRows()
{
    const QStringList rows = WrapTrafficLine(ByteLine(65535));
    // One row of 19 bytes, 3448 full rows of 19, then the last 4 bytes.
    QCOMPARE(rows.size(), 3450);
    QCOMPARE(rows[1], WrapTrafficLine(ByteLine(38))[1]);
    QCOMPARE(rows.last(), "    FB FC FD FE");
    for (const QString &row : rows.mid(1, rows.size() - 2))
        QCOMPARE(row.size(), 60);
}

void TestDisplay::keepsOnlyTheNewest100Rows()
{
    QListWidget list;
    LineWindow window(&list);
    for (int i = 1; i <= 101; ++i)
        window.AppendRow(QString::number(i));
    QCOMPARE(list.count(), 100);
    QCOMPARE(list.item(0)->text(), "2");
    QCOMPARE(list.item(99)->text(), "101");
    QVERIFY(list.uniformItemSizes());
}

void TestDisplay::newestRowIsCurrentAndNothingIsSelected()
{
    QListWidget list;
    list.resize(200, 100);
    list.show();
    LineWindow window(&list);
    list.addItem("user's");
    list.setCurrentRow(0); // a row the user clicked
    for (int i = 0; i < 150; ++i)
        window.AppendRow(QString::number(i));
    QCOMPARE(list.currentRow(), 99);
    QCOMPARE(list.currentItem()->text(), "149");
    QVERIFY(list.selectedItems().isEmpty());
    // Scrolled to the newest row even though no event was processed meanwhile.
    QVERIFY(list.verticalScrollBar()->maximum() > 0);
    QCOMPARE(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum());
}

void TestDisplay::appendingABurstEqualsAppendingRowByRow()
{
    const QStringList rows = WrapTrafficLine(ByteLine(65535));
    QListWidget burstList, singleList;
    LineWindow burst(&burstList), single(&singleList);
    burst.AppendRow("older");
    single.AppendRow("older");
    burst.AppendRows(rows);
    for (const QString &row : rows)
        single.AppendRow(row);
    QCOMPARE(Rows(burstList), Rows(singleList));
    QCOMPARE(burstList.count(), 100);
    QCOMPARE(burstList.item(99)->text(), "    FB FC FD FE");
    QCOMPARE(burstList.currentRow(), 99);

    // A burst shorter than the limit keeps the older rows above it.
    burst.AppendRows({"a", "b"});
    QCOMPARE(burstList.item(97)->text(), "    FB FC FD FE");
    QCOMPARE(burstList.item(99)->text(), "b");
}

void TestDisplay::trafficLinesAreLoggedWholeAndShownWrapped()
{
    QTemporaryDir dir;
    QListWidget list;
    LineWindow traffic(&list);
    LogFile log;
    TrafficWriter writer(traffic, log);
    QVERIFY(log.Open(dir.filePath("t.log"), QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5))));
    QString line = ByteLine(20);
    const QString whole = line;
    writer.WriteTrafficLine(line);
    QVERIFY(line.isEmpty());
    log.Close();
    QCOMPARE(Rows(list), WrapTrafficLine(whole));
    QFile file(dir.filePath("t.log"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().endsWith("\r\n\r\n" + whole.toLatin1() + "\r\n"));
}

void TestDisplay::switchesHideTrafficButNotTheLog()
{
    QTemporaryDir dir;
    QListWidget list;
    LineWindow traffic(&list);
    LogFile log;
    TrafficWriter writer(traffic, log);
    QVERIFY(log.Open(dir.filePath("t.log"), QDateTime::currentDateTime()));
    QString inbound = "--> 01 02 ";
    writer.EchoEnabled = false;
    writer.WriteTrafficLine(inbound);
    QString command = "<-- 03 ";
    writer.EchoEnabled = true;
    writer.DisplayEnabled = false;
    writer.WriteTrafficLine(command);
    QVERIFY(inbound.isEmpty() && command.isEmpty());
    QCOMPARE(list.count(), 0);
    log.Close();
    QFile file(dir.filePath("t.log"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().endsWith("\r\n\r\n--> 01 02 \r\n<-- 03 \r\n"));
}

void TestDisplay::textLinesAreShownUnwrappedWhateverTheSwitches()
{
    QTemporaryDir dir;
    QListWidget list;
    LineWindow traffic(&list);
    LogFile log;
    TrafficWriter writer(traffic, log);
    writer.EchoEnabled = false;
    writer.DisplayEnabled = false;
    QString text = QString(80, 'e');
    writer.WriteTextLine(text); // no log open: shown only
    QVERIFY(text.isEmpty());
    QVERIFY(log.Open(dir.filePath("t.log"), QDateTime::currentDateTime()));
    text = "echo text";
    writer.WriteTextLine(text);
    log.Close();
    QCOMPARE(Rows(list), QStringList({QString(80, 'e'), "echo text"}));
    QFile file(dir.filePath("t.log"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.endsWith("\r\n\r\necho text\r\n"));
    QVERIFY(!content.contains("eee"));
}

void TestDisplay::clearEmptiesTheList()
{
    QListWidget list;
    LineWindow window(&list);
    window.AppendRows({"a", "b"});
    window.Clear();
    QCOMPARE(list.count(), 0);
    QCOMPARE(window.List(), &list);
    window.AppendRow("c");
    QCOMPARE(Rows(list), QStringList{"c"});
}

QTEST_MAIN(TestDisplay)
#include "test_display.moc"
