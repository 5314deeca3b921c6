// The log file on its own; a log deleted while open is met through the session.
#include "display/logfile.h"
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {
const QDateTime Fixed(QDate(2024, 3, 7), QTime(9, 5, 4));

QByteArray Header(const QString &path)
{
    return "*****\r\nLog File:  " + path.toLocal8Bit() + "\r\nDate:      03-07-2024\r\nTime:      09:05:04\r\n*****\r\n\r\n";
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
}

class TestLogFile : public QObject {
    Q_OBJECT
    QTemporaryDir Dir;

private slots:
    void opensForAppendWithAHeaderAndPutsEveryLineOnDiskAtFlush()
    {
        const QString path = Dir.filePath("a.log");
        LogFile log;
        QVERIFY(log.Open(path, Fixed));
        log.WriteLine("--> 05 00 68 6A F1 3F ");
        log.WriteMarker("### Script file completed.");
        log.Flush();
        const QByteArray expected = Header(path) + "--> 05 00 68 6A F1 3F \r\n\r\n### Script file completed.\r\n\r\n";
        QCOMPARE(ReadAll(path), expected);
        log.Flush(); // nothing pending: nothing repeated
        log.Close();
        log.WriteLine("after close");
        QVERIFY(log.Open(path, Fixed)); // appends, never truncates
        log.Close();
        QCOMPARE(ReadAll(path), expected + Header(path));
        QVERIFY(!log.Open(Dir.path(), Fixed) && !log.LogActive); // a folder; the caller reports it
    }

    void aFifoNeverHoldsUpTheOpen()
    {
        const QString path = Dir.filePath("fifo.log");
        LogFile log;
        QCOMPARE(mkfifo(QFile::encodeName(path), 0600), 0);
        QVERIFY(!log.Open(path, Fixed)); // no reader: refused at once
        QCOMPARE(log.ErrorText(), QString("No such device or address"));
        QFile reader(path); // read-write, so its open does not wait for a writer
        QVERIFY(reader.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
        QVERIFY(log.Open(path, Fixed));
        log.Flush();
        QCOMPARE(reader.read(Header(path).size()), Header(path));
    }

    void aLargeBacklogIsHandedOverWithoutWaitingForFlush()
    {
        const QString path = Dir.filePath("b.log");
        LogFile log;
        QVERIFY(log.Open(path, Fixed));
        for (int i = 0; i < 100; ++i)
            log.WriteLine(QString(998, 'x'));
        QVERIFY(ReadAll(path).size() >= 64 * 1024); // memory stays bounded in a flood
    }

    void aFailedWriteClosesTheLogAndReportsOnce()
    {
        QStringList failures;
        LogFile log;
        log.OnFailure = [&](const QString &line) { failures << line; };
        QVERIFY(log.Open("/dev/full", Fixed));
        log.Flush();
        QVERIFY(!log.LogActive && log.LogFileName.isEmpty());
        log.WriteLine("ignored");
        log.Close();
        QCOMPARE(failures, QStringList{"Error writing log file: No space left on device. Log file closed."});
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "test_logfile.moc"
