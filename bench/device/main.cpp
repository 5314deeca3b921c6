// quillon-device: plays the automotive interface device for tests and benchmarks.
#include "device.h"
#include "ptylink.h"
#include "tcplink.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace {
int Fail(const QString &message)
{
    std::fprintf(stderr, "quillon-device: %s\n", qPrintable(message));
    return 2;
}

// Byte text as the terminal takes it: tokens of one or two hex digits.
bool ParseHex(const QString &text, QByteArray *bytes)
{
    const QStringList tokens = text.split(' ', Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        bool ok = false;
        const uint value = token.toUInt(&ok, 16);
        if (!ok || token.size() > 2)
            return false;
        bytes->append(char(value));
    }
    return !bytes->isEmpty();
}

bool ParseNumber(const QCommandLineParser &parser, const QString &name, int low, int high, int *value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    *value = parser.value(name).toInt(&ok);
    return ok && *value >= low && *value <= high;
}

// The traffic lines the terminal shows for the stream, one per packet.
bool WriteExpectFile(const QString &path, const DeviceOptions &options)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    PacketStream stream(options.seed, options.maxLen);
    for (int i = 0; i < options.streamCount; ++i)
        file.write("--> " + stream.Next().toHex(' ').toUpper() + " \n");
    return file.flush();
}

void Announce(const QString &where)
{
    std::printf("Device on %s\n", qPrintable(where));
    std::fflush(stdout);
}
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("quillon-device");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Plays the automotive interface device for Quillon's tests and benchmarks.\n"
        "Each command received (bytes arriving together, ended by a pause of about 5 ms)\n"
        "is answered with one packet: header 11, a length byte and the command's bytes,\n"
        "or header 12 and a two-byte length (high byte first) for more than 255 bytes.\n"
        "Prints \"Device on ADDRESS:PORT\" or \"Device on /dev/pts/N\" when ready.");
    parser.addHelpOption();
    parser.addOptions({
        {"tcp", "Listen on 127.0.0.1 and serve one client at a time (default)."},
        {"pty", "Create a raw pseudo-terminal and play the device on its master side."},
        {"port", "TCP port to listen on (default 10001; 0 picks a free one).", "N", "10001"},
        {"no-reply", "Do not answer commands."},
        {"key", "Key byte: XOR every byte sent and received with it.", "XX"},
        {"send", "Packet to send once after connecting (or with --every, periodically), "
                 "e.g. \"05 00 68 6A F1 3F\".", "HEX"},
        {"every", "Send the --send packet every MS milliseconds.", "MS"},
        {"stream", "After connecting, send N random well-framed packets as fast as the "
                   "link takes them.", "N"},
        {"seed", "Seed of the random stream (default 0).", "S", "0"},
        {"max-len", "Cap the payload length of streamed packets (default 65535).", "L"},
        {"expect-file", "Write the traffic lines the terminal should show for the stream "
                        "(\"--> \" and the bytes, one packet per line, LF endings).", "PATH"},
        {"repeat", "Start the --stream over (the same packets) after N, until the link closes."},
        {"split", "Send everything in pieces of random length (from --seed) about 1 ms apart, "
                  "so packets straddle the terminal's reads at random points."},
        {"on-command", "Start --send and --stream only when the first command arrives "
                       "(a pseudo-terminal shows no connection)."},
        {"drop-every", "Close each TCP connection MS milliseconds after it is made, "
                       "leaving the terminal mid-packet, and wait for the next.", "MS"},
        {"verbose", "Log connections and received commands to stderr as hex."},
    });
    parser.process(app);

    DeviceOptions options;
    options.reply = !parser.isSet("no-reply");
    options.verbose = parser.isSet("verbose");
    options.repeat = parser.isSet("repeat");
    options.split = parser.isSet("split");
    options.onCommand = parser.isSet("on-command");
    QByteArray key;
    if (parser.isSet("key") && (!ParseHex(parser.value("key"), &key) || key.size() != 1))
        return Fail("--key takes one byte in hex, e.g. 5A");
    options.key = key.isEmpty() ? 0 : quint8(key[0]);
    if (parser.isSet("send") && !ParseHex(parser.value("send"), &options.sendPacket))
        return Fail("--send takes bytes in hex separated by spaces");
    int port = 0;
    int seed = 0;
    if (!ParseNumber(parser, "port", 0, 65535, &port) || !ParseNumber(parser, "every", 1, 3600000, &options.every)
        || !ParseNumber(parser, "stream", 0, 100000000, &options.streamCount)
        || !ParseNumber(parser, "seed", 0, 2147483647, &seed)
        || !ParseNumber(parser, "max-len", 0, 65535, &options.maxLen)
        || !ParseNumber(parser, "drop-every", 1, 86400000, &options.dropEvery))
        return Fail("bad number; see --help");
    options.seed = quint32(seed);
    if (parser.isSet("tcp") && parser.isSet("pty"))
        return Fail("choose --tcp or --pty, not both");
    if (parser.isSet("expect-file") && !WriteExpectFile(parser.value("expect-file"), options))
        return Fail("cannot write " + parser.value("expect-file"));

    if (parser.isSet("pty")) {
        PtyLink link;
        QString error;
        if (!link.Open(&error))
            return Fail("cannot create a pseudo-terminal: " + error);
        Device device(&link, options);
        Announce(link.SlavePath());
        device.Start();
        return app.exec();
    }
    TcpLink link;
    if (!link.Listen(quint16(port)))
        return Fail("cannot listen on 127.0.0.1: " + link.Error());
    Device device(&link, options);
    Announce(QString("127.0.0.1:%1").arg(link.Port()));
    return app.exec();
}
