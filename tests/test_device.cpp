#include <QCoreApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int WaitMs = 5000; // only bounds a hung test; nothing is timed

QByteArray Hex(const char *text) { return QByteArray::fromHex(text); }

QByteArray Xor(QByteArray bytes, char key)
{
    for (char &c : bytes)
        c ^= key;
    return bytes;
}

// The terminal's side of the link.
class Peer {
public:
    virtual ~Peer() = default;
    virtual void Write(const QByteArray &bytes) = 0;
    virtual QByteArray ReadSome() = 0; // empty when nothing came within WaitMs

    QByteArray ReadExactly(int count)
    {
        QByteArray bytes;
        while (bytes.size() < count) {
            const QByteArray more = ReadSome();
            if (more.isEmpty())
                break;
            bytes += more;
        }
        return bytes;
    }
};

class TcpPeer : public Peer {
public:
    explicit TcpPeer(quint16 port) { Socket.connectToHost(QHostAddress::LocalHost, port); }
    void Write(const QByteArray &bytes) override
    {
        Socket.write(bytes);
        Socket.flush();
    }
    QByteArray ReadSome() override
    {
        if (Socket.bytesAvailable() == 0)
            Socket.waitForReadyRead(WaitMs);
        return Socket.readAll();
    }
    QTcpSocket Socket;
};

class PtyPeer : public Peer {
public:
    explicit PtyPeer(const QString &path) : Fd(::open(qPrintable(path), O_RDWR | O_NOCTTY))
    {
        termios raw;
        tcgetattr(Fd, &raw);
        cfmakeraw(&raw);
        tcsetattr(Fd, TCSANOW, &raw);
    }
    ~PtyPeer() override { ::close(Fd); }
    void Write(const QByteArray &bytes) override { QCOMPARE(::write(Fd, bytes.data(), bytes.size()), bytes.size()); }
    QByteArray ReadSome() override
    {
        pollfd ready{Fd, POLLIN, 0};
        if (poll(&ready, 1, WaitMs) != 1)
            return {};
        char buffer[65536];
        const ssize_t n = ::read(Fd, buffer, sizeof buffer);
        return n > 0 ? QByteArray(buffer, int(n)) : QByteArray();
    }
    int Fd;
};

// Frames inbound bytes by the header rule into traffic lines; *rest gets the
// bytes of an incomplete last packet.
QStringList Frame(const QByteArray &bytes, QByteArray *rest)
{
    QStringList lines;
    int at = 0;
    while (at < bytes.size()) {
        const quint8 header = quint8(bytes[at]);
        const int lengthBytes = header == 0x11 ? 1 : header == 0x12 ? 2 : 0;
        if (at + 1 + lengthBytes > bytes.size())
            break;
        int payload = header & 0x0F;
        if (header == 0x11)
            payload = quint8(bytes[at + 1]);
        else if (header == 0x12)
            payload = quint8(bytes[at + 1]) << 8 | quint8(bytes[at + 2]);
        const int size = 1 + lengthBytes + payload;
        if (at + size > bytes.size())
            break;
        lines << "--> " + bytes.mid(at, size).toHex(' ').toUpper() + " ";
        at += size;
    }
    *rest = bytes.mid(at);
    return lines;
}

quint16 FreePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}
}

class TestDevice : public QObject {
    Q_OBJECT

private:
    // Starts the simulator and connects to it; null (with a failed check) when it did not come up.
    std::unique_ptr<Peer> Start(QStringList arguments, bool pty)
    {
        if (pty)
            arguments << "--pty";
        else
            arguments << "--port" << QString::number(FreePort());
        Device.start(QCoreApplication::applicationDirPath() + "/../bench/quillon-device", arguments);
        while (!Device.canReadLine() && Device.waitForReadyRead(WaitMs)) {
        }
        const QString ready = QString::fromLocal8Bit(Device.readLine()).trimmed();
        if (!ready.startsWith("Device on ")) {
            qWarning() << ready << Device.readAllStandardError();
            return nullptr;
        }
        const QString where = ready.mid(10);
        if (pty)
            return std::make_unique<PtyPeer>(where);
        auto peer = std::make_unique<TcpPeer>(quint16(where.section(':', 1).toUInt()));
        return peer->Socket.waitForConnected(WaitMs) ? std::move(peer) : nullptr;
    }

    QProcess Device;

private slots:
    void cleanup()
    {
        Device.kill();
        Device.waitForFinished();
    }

    void answersEachCommandWithOneFramedReply_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("pty");
        QTest::addColumn<QByteArray>("wireCommand");
        QTest::addColumn<QByteArray>("wireReply");

        const QByteArray plain = Hex("050068");
        QTest::newRow("tcp") << QStringList() << false << plain << Hex("1103050068");
        QTest::newRow("tcp key 5A") << QStringList{"--key", "5A"} << false << Xor(plain, 0x5A)
                                    << Xor(Hex("1103050068"), 0x5A);
        QTest::newRow("pty") << QStringList() << true << plain << Hex("1103050068");
        QTest::newRow("pty key 5A") << QStringList{"--key", "5A"} << true << Xor(plain, 0x5A)
                                    << Xor(Hex("1103050068"), 0x5A);
        QByteArray c255(255, '\x7E');
        QTest::newRow("255 bytes keep header 11") << QStringList() << false << c255 << Hex("11FF") + c255;
        QByteArray c300(300, '\xA5');
        QTest::newRow("300 bytes take header 12") << QStringList() << false << c300 << Hex("12012C") + c300;
    }

    void answersEachCommandWithOneFramedReply()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, pty);
        QFETCH(QByteArray, wireCommand);
        QFETCH(QByteArray, wireReply);

        auto peer = Start(arguments, pty);
        QVERIFY(peer);
        peer->Write(wireCommand);
        QCOMPARE(peer->ReadExactly(wireReply.size()), wireReply);
        // A second command is a new reply, not appended to the first.
        peer->Write(wireCommand);
        QCOMPARE(peer->ReadExactly(wireReply.size()), wireReply);
    }

    void sendsTheMatchPacketOnceOnEachConnection()
    {
        auto peer = Start({"--send", "05 00 68 6A F1 3F", "--key", "0F"}, false);
        QVERIFY(peer);
        const QByteArray packet = Xor(Hex("0500686AF13F"), 0x0F);
        QCOMPARE(peer->ReadExactly(6), packet);
        const quint16 port = static_cast<TcpPeer *>(peer.get())->Socket.peerPort();
        peer.reset();
        TcpPeer again(port);
        QVERIFY(again.Socket.waitForConnected(WaitMs));
        QCOMPARE(again.ReadExactly(6), packet);
    }

    void staysSilentWithNoReplyButKeepsSendingPeriodically()
    {
        auto peer = Start({"--no-reply", "--send", "05 00 68 6A F1 3F", "--every", "20"}, false);
        QVERIFY(peer);
        peer->Write(Hex("050068"));
        // A reply would start with 11 and break the run of match packets.
        QCOMPARE(peer->ReadExactly(18), Hex("0500686AF13F").repeated(3));
    }

    void streamFramesIntoExactlyTheExpectedLines_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::addColumn<QStringList>("cap");
        QTest::newRow("tcp") << false << QStringList();
        QTest::newRow("pty capped") << true << QStringList{"--max-len", "300"};
    }

    void streamFramesIntoExactlyTheExpectedLines()
    {
        QFETCH(bool, pty);
        QFETCH(QStringList, cap);
        QTemporaryDir dir;
        const QString expectPath = dir.filePath("expect.txt");
        auto peer = Start(QStringList{"--stream", "50", "--seed", "1", "--expect-file", expectPath} + cap, pty);
        QVERIFY(peer);

        QFile file(expectPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.endsWith(" \n"));
        QVERIFY(!text.contains('\r'));
        const QStringList expected = QString::fromLatin1(text).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(expected.size(), 50);
        const auto count = [&](const QString &prefix) {
            return std::count_if(expected.begin(), expected.end(), [&](const QString &l) { return l.startsWith(prefix); });
        };
        QVERIFY(count("--> 11 ") > 0);
        QVERIFY(count("--> 12 ") > 0);
        QVERIFY(count("--> 11 ") + count("--> 12 ") < 50);

        QByteArray received;
        QStringList lines;
        QByteArray rest;
        while (lines.size() < expected.size()) {
            const QByteArray more = peer->ReadSome();
            if (more.isEmpty())
                break;
            received += more;
            lines = Frame(received, &rest);
        }
        QCOMPARE(lines, expected);
        QCOMPARE(rest, QByteArray());
        if (!cap.isEmpty()) // header, two length bytes and at most 300 payload bytes
            for (const QString &line : expected)
                QVERIFY2((line.size() - 4) / 3 <= 303, qPrintable(line.left(20)));
    }

    void refusesBadOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("key not hex") << QStringList{"--key", "ZZ"};
        QTest::newRow("key of two bytes") << QStringList{"--key", "5A 5B"};
        QTest::newRow("send token of three digits") << QStringList{"--send", "05 100"};
        QTest::newRow("negative stream") << QStringList{"--stream", "-1"};
        QTest::newRow("port too large") << QStringList{"--port", "65536"};
        QTest::newRow("both links") << QStringList{"--tcp", "--pty"};
    }

    void refusesBadOptions()
    {
        QFETCH(QStringList, arguments);
        Device.start(QCoreApplication::applicationDirPath() + "/../bench/quillon-device", arguments);
        QVERIFY(Device.waitForFinished(WaitMs));
        QCOMPARE(Device.exitCode(), 2);
        QVERIFY(Device.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "test_device.moc"
