#include "protocol/packetassembler.h"
#include "protocol/hextext.h"
#include <array>

namespace {
// Every byte's text, made once and copied in place: this is the hottest loop of a
// flood, and three appends per byte cost more than twice as much.
struct Text {
    QChar c[3];
};
const std::array<Text, 256> Texts = [] {
    std::array<Text, 256> texts;
    for (int i = 0; i < 256; ++i) {
        const QString text = ByteText(i);
        texts[i] = {{text[0], text[1], text[2]}};
    }
    return texts;
}();

inline QChar *Put(QChar *out, quint8 b)
{
    const Text &text = Texts[b];
    out[0] = text.c[0];
    out[1] = text.c[1];
    out[2] = text.c[2];
    return out + 3;
}
}

void PacketAssembler::AppendByte(QString &line, quint8 b)
{
    const qsizetype size = line.size();
    line.resize(size + 3); // within the packet's reservation: no allocation
    Put(line.data() + size, b);
}

void PacketAssembler::FeedPayload(QByteArrayView bytes)
{
    const qsizetype size = InLine.size();
    InLine.resize(size + 3 * bytes.size()); // within the packet's reservation
    QChar *out = InLine.data() + size;
    for (const char byte : bytes)
        out = Put(out, quint8(byte));
    InRemaining -= int(bytes.size());
}

bool PacketAssembler::FeedFraming(quint8 b, const PostMsg &post)
{
    switch (InState) {
    case 1: {
        // Room for a header-only packet's longest line at once: most packets of a flood
        // then need this one allocation, a long one a second (Expect).
        QString line;
        line.reserve(4 + 3 * 16);
        line.append(QLatin1String("--> "));
        InLine = std::move(line);
        AppendByte(InLine, b);
        if (b == 0x11) {
            InState = 2;
            return false;
        }
        if (b == 0x12) {
            InState = 3;
            return false;
        }
        return Expect(b & 0x0F);
    }
    case 2:
        AppendByte(InLine, b);
        return Expect(b);
    case 3:
        AppendByte(InLine, b);
        InRemaining = b * 256;
        InState = 4; // never complete here, even when the high byte is 0
        return false;
    case 4:
        AppendByte(InLine, b);
        return Expect(InRemaining + b);
    case 0: // the packet's last payload byte (Feed takes the others)
        AppendByte(InLine, b);
        return Expect(InRemaining - 1);
    default:
        post(QStringLiteral("Error processing PacketHead.") + QString::number(uint(InState), 16).toUpper());
        InState = 1;
        InRemaining = 0;
        return false;
    }
}

// Waits for the given number of payload bytes; with none left the packet is complete.
bool PacketAssembler::Expect(int payload)
{
    if (payload > 0) {
        InLine.reserve(InLine.size() + 3 * payload); // one allocation for a long packet
        InRemaining = payload;
        InState = 0;
        return false;
    }
    InRemaining = 0;
    InState = 1;
    return true;
}

void PacketAssembler::Reset()
{
    InState = 1;
    InRemaining = 0;
    InLine.clear();
}
