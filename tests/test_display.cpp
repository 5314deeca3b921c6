// Traffic lines wrapped into the rows the traffic window shows.
#include "display/trafficwrap.h"
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
}

class TestDisplay : public QObject {
    Q_OBJECT
private slots:
    void wrapsTrafficLinesAt19Bytes_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("rows");
        const QString row1 = ByteLine(19).left(60); // the first row of any longer byte line
        const QString second = "    13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25"; // aligned under row 1
        QTest::newRow("empty") << "" << QStringList{""};
        QTest::newRow("18 bytes, space kept") << ByteLine(18) << QStringList{ByteLine(18)};
        QTest::newRow("19 bytes, space dropped") << ByteLine(19) << QStringList{row1};
        QTest::newRow("20 bytes") << ByteLine(20) << QStringList{row1, "    13"};
        QTest::newRow("39 bytes") << ByteLine(39) << QStringList{row1, second, "    26"};
        QTest::newRow("117 chars, last lost") << QString(116, 'x') + "y" << QStringList{QString(60, 'x'), "   " + QString(56, 'x')};
    }
    void wrapsTrafficLinesAt19Bytes()
    {
        QFETCH(QString, line);
        QTEST(WrapTrafficLine(line), "rows");
    }
};

QTEST_GUILESS_MAIN(TestDisplay)
#include "test_display.moc"
