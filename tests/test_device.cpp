#include "protocol/packetassembler.h"
#include <QCoreApplication>
#include <QProcess>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
constexpr int WaitMs = 5000; // only bounds a hung test; nothing is timed

QByteArray Xor(QByteArray bytes, char key)
{
    for (char &c : bytes)
        c ^= key;
    return bytes;
}
} // namespace

// Runs the device simulator and plays the terminal's side of its link:
// a loopback socket, or the simulator's pseudo-terminal opened as a serial port.
class TestDevice : public QObject {
    Q_OBJECT

    QProcess Device;
    std::unique_ptr<QIODevice> Link;

    bool Start(QStringList arguments, bool pty)
    {
        arguments << (pty ? QStringList{"--pty"} : QStringList{"--port", "0"});
        Device.start(QCoreApplication::applicationDirPath() + "/../bench/quillon-device", arguments);
        while (!Device.canReadLine() && Device.waitForReadyRead(WaitMs)) {
        }
        const QString where = QString::fromLocal8Bit(Device.readLine()).trimmed().remove("Device on ");
        if (pty) {
            Link = std::make_unique<QSerialPort>(where);
            return Link->open(QIODevice::ReadWrite);
        }
        auto *socket = new QTcpSocket;
        Link.reset(socket);
        socket->connectToHost(QHostAddress::LocalHost, quint16(where.section(':', 1).toUInt()));
        return socket->waitForConnected(WaitMs);
    }

    // Reads until count bytes are in, or nothing more comes within WaitMs.
    QByteArray Read(qsizetype count)
    {
        QByteArray bytes;
        while (bytes.size() < count && (Link->bytesAvailable() || Link->waitForReadyRead(WaitMs)))
            bytes += Link->readAll();
        return bytes;
    }

private slots:
    void cleanup()
    {
        Link.reset();
        Device.kill();
        Device.waitForFinished();
    }

    void repliesFrameEachCommandUnderTheKey_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray c300(300, '\xA5');
        QTest::newRow("tcp") << false << QByteArray::fromHex("050068") << QByteArray::fromHex("1103050068");
        QTest::newRow("tcp, 300 bytes take header 12") << false << c300 << QByteArray::fromHex("12012C") + c300;
        QTest::newRow("pty") << true << QByteArray::fromHex("050068") << QByteArray::fromHex("1103050068");
    }

    void repliesFrameEachCommandUnderTheKey()
    {
        QFETCH(bool, pty);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        QVERIFY(Start({"--key", "5A"}, pty));
        for (int i = 0; i < 2; ++i) { // a second command is a new reply, not appended to the first
            QCOMPARE(Link->write(Xor(command, 0x5A)), command.size());
            QCOMPARE(Read(reply.size()), Xor(reply, 0x5A));
        }
    }

    void streamFramesIntoExactlyTheLinesOfTheExpectFile()
    {
        QTemporaryDir dir;
        QVERIFY(Start({"--stream", "50", "--seed", "1", "--expect-file", dir.filePath("expect.txt")}, false));
        QFile file(dir.filePath("expect.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList expected = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(expected.size(), 50);
        for (const char *header : {"^--> 11 ", "^--> 12 ", "^--> (?!1[12] )"}) // every header kind
            QVERIFY2(!expected.filter(QRegularExpression(header)).isEmpty(), header);
        qsizetype size = 0;
        for (const QString &line : expected)
            size += (line.size() - 4) / 3; // "--> " and "XX " per byte
        PacketAssembler assembler;
        QStringList lines;
        const PostMsg post = [&](const QString &line) { lines << line; };
        for (char c : Read(size))
            if (assembler.Feed(quint8(c), post))
                lines << assembler.InLine;
        QCOMPARE(lines, expected);
        QCOMPARE(assembler.InState, 1); // nothing left over
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "test_device.moc"
