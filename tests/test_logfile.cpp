#include "display/logfile.h"
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QDateTime Fixed(QDate(2024, 3, 7), QTime(9, 5, 4));

QByteArray Header(const QString &path)
{
    return "*****\r\nLog File:  " + path.toLocal8Bit()
           + "\r\nDate:      03-07-2024\r\nTime:      09:05:04\r\n*****\r\n\r\n";
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
} // namespace

class TestLogFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void openWritesTheHeader();
    void reopeningKeepsContentAndAddsAHeader();
    void flushPutsEveryLineOnDiskWhileOpen();
    void largeBacklogIsHandedOverWithoutWaitingForFlush();
    void markersAreSurroundedByEmptyLines();
    void closingTwiceIsHarmlessAndStopsWriting();
    void fullDiskClosesTheLogAndReportsOnce();
    void removedFileClosesTheLogAndReports();
    void unopenableFileLeavesNoLogActive();

private:
    QTemporaryDir Dir;
    QString Path;
    LogFile Log;
    QStringList Failures;
};

void TestLogFile::init()
{
    Log.Close();
    Path = Dir.filePath(QString("t%1.log").arg(QTest::currentTestFunction()));
    Failures.clear();
    Log.OnFailure = [this](const QString &line) { Failures << line; };
}

void TestLogFile::openWritesTheHeader()
{
    QVERIFY(Log.Open(Path, Fixed));
    QVERIFY(Log.LogActive);
    QCOMPARE(Log.LogFileName, Path);
    Log.Flush();
    QCOMPARE(ReadAll(Path), Header(Path));
}

void TestLogFile::reopeningKeepsContentAndAddsAHeader()
{
    QFile old(Path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier\r\n");
    old.close();
    QVERIFY(Log.Open(Path, Fixed));
    Log.WriteLine("<-- 01 ");
    Log.Close();
    QVERIFY(Log.Open(Path, Fixed));
    Log.Close();
    QCOMPARE(ReadAll(Path), "earlier\r\n" + Header(Path) + "<-- 01 \r\n" + Header(Path));
}

void TestLogFile::flushPutsEveryLineOnDiskWhileOpen()
{
    QVERIFY(Log.Open(Path, Fixed));
    Log.WriteLine("--> 05 00 68 6A F1 3F ");
    Log.WriteLine(" ");
    Log.Flush();
    const QByteArray expected = Header(Path) + "--> 05 00 68 6A F1 3F \r\n \r\n";
    QCOMPARE(ReadAll(Path), expected);
    Log.Flush(); // nothing pending: nothing repeated
    QCOMPARE(ReadAll(Path), expected);
    QVERIFY(Log.LogActive);
}

void TestLogFile::largeBacklogIsHandedOverWithoutWaitingForFlush()
{
    QVERIFY(Log.Open(Path, Fixed));
    const QString line(998, 'x');
    for (int i = 0; i < 100; ++i)
        Log.WriteLine(line);
    QVERIFY(ReadAll(Path).size() >= 64 * 1024);
    Log.Flush();
    QCOMPARE(ReadAll(Path).size(), Header(Path).size() + 100 * 1000);
}

void TestLogFile::markersAreSurroundedByEmptyLines()
{
    Log.WriteMarker("### Script file aborted."); // no log: nothing anywhere
    QVERIFY(Log.Open(Path, Fixed));
    Log.WriteMarker("### Start Script File: /tmp/a.dwn");
    Log.WriteMarker("### Script file completed.");
    Log.Close();
    QCOMPARE(ReadAll(Path), Header(Path)
                                + "\r\n### Start Script File: /tmp/a.dwn\r\n\r\n"
                                  "\r\n### Script file completed.\r\n\r\n");
}

void TestLogFile::closingTwiceIsHarmlessAndStopsWriting()
{
    QVERIFY(Log.Open(Path, Fixed));
    Log.WriteLine("last");
    Log.Close();
    Log.Close();
    QVERIFY(!Log.LogActive);
    QVERIFY(Log.LogFileName.isEmpty());
    Log.WriteLine("after close");
    Log.Flush();
    QCOMPARE(ReadAll(Path), Header(Path) + "last\r\n");
    QVERIFY(Failures.isEmpty());
}

void TestLogFile::fullDiskClosesTheLogAndReportsOnce()
{
    QVERIFY(Log.Open("/dev/full", Fixed));
    Log.WriteLine("lost");
    Log.Flush();
    QVERIFY(!Log.LogActive);
    QVERIFY(Log.LogFileName.isEmpty());
    Log.WriteLine("ignored");
    Log.Flush();
    Log.Close();
    QCOMPARE(Failures.size(), 1);
    QVERIFY2(Failures[0].contains("No space left on device"), qPrintable(Failures[0]));
    QVERIFY(Failures[0].endsWith("Log file closed."));
}

void TestLogFile::removedFileClosesTheLogAndReports()
{
    QVERIFY(Log.Open(Path, Fixed));
    Log.Flush();
    QVERIFY(QFile::remove(Path));
    Log.WriteLine("lost");
    Log.Flush();
    QVERIFY(!Log.LogActive);
    QCOMPARE(Failures.size(), 1);
    QVERIFY(Failures[0].endsWith("Log file closed."));
    QVERIFY(!QFile::exists(Path));
}

void TestLogFile::unopenableFileLeavesNoLogActive()
{
    QVERIFY(!Log.Open(Dir.filePath("missing/folder/t.log"), Fixed));
    QVERIFY(!Log.LogActive);
    QVERIFY(!Log.Open(Dir.path(), Fixed)); // a folder, not a file
    QVERIFY(!Log.LogActive);
    QVERIFY(Log.LogFileName.isEmpty());
    QVERIFY(Failures.isEmpty());
}

QTEST_MAIN(TestLogFile)
#include "test_logfile.moc"
