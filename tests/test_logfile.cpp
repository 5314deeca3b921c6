#include "display/logfile.h"
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

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

    QTemporaryDir Dir;
    QString Path;
    LogFile Log;
    QStringList Failures;

private slots:
    void init()
    {
        Log.Close();
        Path = Dir.filePath(QString("%1%2.log").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        Failures.clear();
        Log.OnFailure = [this](const QString &line) { Failures << line; };
    }

    void opensForAppendWithAHeaderAndPutsEveryLineOnDiskAtFlush()
    {
        QVERIFY(Log.Open(Path, Fixed));
        Log.WriteLine("--> 05 00 68 6A F1 3F ");
        Log.WriteMarker("### Script file completed.");
        Log.Flush();
        const QByteArray expected = Header(Path) + "--> 05 00 68 6A F1 3F \r\n\r\n### Script file completed.\r\n\r\n";
        QCOMPARE(ReadAll(Path), expected);
        Log.Flush(); // nothing pending: nothing repeated
        Log.Close();
        QVERIFY(!Log.LogActive && Log.LogFileName.isEmpty());
        Log.WriteLine("after close");
        QVERIFY(Log.Open(Path, Fixed)); // appends, never truncates
        Log.Close();
        QCOMPARE(ReadAll(Path), expected + Header(Path));
        QVERIFY(!Log.Open(Dir.path(), Fixed)); // a folder, not a file
        QVERIFY(!Log.LogActive && Log.LogFileName.isEmpty());
        QVERIFY(Failures.isEmpty()); // the caller reports a failed Open
    }

    void aFifoNeverHoldsUpTheOpen()
    {
        QCOMPARE(mkfifo(QFile::encodeName(Path), 0600), 0);
        QVERIFY(!Log.Open(Path, Fixed)); // no reader: refused at once
        QCOMPARE(Log.ErrorText(), QString("No such device or address"));
        QFile reader(Path); // read-write, so its open does not wait for a writer
        QVERIFY(reader.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
        QVERIFY(Log.Open(Path, Fixed));
        Log.Flush();
        QCOMPARE(reader.read(Header(Path).size()), Header(Path));
    }

    void aLargeBacklogIsHandedOverWithoutWaitingForFlush()
    {
        QVERIFY(Log.Open(Path, Fixed));
        for (int i = 0; i < 100; ++i)
            Log.WriteLine(QString(998, 'x'));
        QVERIFY(ReadAll(Path).size() >= 64 * 1024);
        Log.Flush();
        QCOMPARE(ReadAll(Path).size(), Header(Path).size() + 100 * 1000);
    }

    void aFailedWriteClosesTheLogAndReportsOnce_data()
    {
        QTest::addColumn<bool>("full");
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk full") << true << "No space left on device";
        QTest::newRow("file deleted") << false << "the file no longer exists";
    }

    void aFailedWriteClosesTheLogAndReportsOnce()
    {
        QFETCH(bool, full);
        QFETCH(QString, reason);
        QVERIFY(Log.Open(full ? "/dev/full" : Path, Fixed));
        Log.Flush();
        if (!full)
            QVERIFY(QFile::remove(Path));
        Log.WriteLine("lost");
        Log.Flush();
        QVERIFY(!Log.LogActive && Log.LogFileName.isEmpty());
        Log.WriteLine("ignored");
        Log.Close();
        QCOMPARE(Failures, QStringList{"Error writing log file: " + reason + ". Log file closed."});
        QVERIFY(!QFile::exists(Path)); // not brought back by a later write
    }
};

QTEST_MAIN(TestLogFile)
#include "test_logfile.moc"
