// Inbound assembly as the Ethernet pipe drives it: random bytes, a random key and
// deliveries cut at random points must frame exactly as the rules written out
// plainly below, whatever the cut, with no Debug line.
#include "datapipe/pipeio.h"
#include "fakeserialdriver.h"
#include "fakesocketcontrol.h"
#include "protocol/packetassembler.h"
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace {
QString Line(const QByteArray &packet)
{
    return "--> " + QString::fromLatin1(packet.toHex(' ').toUpper()) + ' ';
}

// Header 11: one length byte; 12: two, high first; any other: its low four bits.
QStringList Frame(const QByteArray &plain, QByteArray *rest)
{
    QStringList lines;
    qsizetype at = 0;
    for (;;) {
        const qsizetype left = plain.size() - at;
        const quint8 head = left > 0 ? quint8(plain[at]) : 0;
        const qsizetype headSize = head == 0x11 ? 2 : head == 0x12 ? 3 : 1;
        if (left < headSize)
            break;
        const qsizetype payload = head == 0x11 ? quint8(plain[at + 1])
                                  : head == 0x12 ? quint8(plain[at + 1]) * 256 + quint8(plain[at + 2])
                                                 : head & 0x0F;
        if (left < headSize + payload)
            break;
        lines << Line(plain.mid(at, headSize + payload));
        at += headSize + payload;
    }
    *rest = plain.mid(at);
    return lines;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    FakeSerialDriver driver;
    FakeSocketControl socket;
    QStringList posts;
    const PostMsg post = [&posts](const QString &line) { posts << line; };
    PipeIo pipe(driver, socket, post);
    pipe.DataPipe = 2;
    pipe.KeyByte = input.ConsumeIntegral<quint8>();

    PacketAssembler inbound;
    QStringList lines;
    QByteArray wire;
    QByteArray plain;
    while (input.remaining_bytes() > 0) {
        const size_t cut = input.ConsumeIntegralInRange<size_t>(0, 70000);
        const std::string delivery = input.ConsumeBytesAsString(cut);
        socket.Waiting = QByteArray::fromStdString(delivery);
        wire += socket.Waiting;
        pipe.TakeArrival(qint64(delivery.size()));
        const bool runs = input.ConsumeBool(); // payload runs taken at once, as the session does
        for (;;) {
            if (const QByteArrayView left = pipe.ArrivalLeft(); runs && inbound.PayloadRoom() > 0 && !left.isEmpty()) {
                const QByteArrayView run = left.first(qMin(inbound.PayloadRoom(), left.size()));
                plain += run;
                inbound.FeedPayload(run);
                pipe.SkipArrival(run.size());
                continue;
            }
            const int byte = pipe.ReadPipeByte();
            if (byte == -1)
                break;
            plain += char(byte);
            if (inbound.Feed(quint8(byte), post)) {
                lines << inbound.InLine;
                inbound.InLine.clear();
            }
        }
    }
    for (char &c : wire)
        c ^= char(pipe.KeyByte);
    QByteArray rest;
    if (plain != wire || lines != Frame(plain, &rest) || inbound.InLine != (rest.isEmpty() ? QString() : Line(rest))
        || !posts.isEmpty())
        std::abort();
    return 0;
}
