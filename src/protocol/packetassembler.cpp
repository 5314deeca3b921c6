#include "protocol/packetassembler.h"
#include "protocol/hextext.h"

bool PacketAssembler::Feed(quint8 b, const PostMsg &post)
{
    switch (InState) {
    case 1:
        InLine = QStringLiteral("--> ");
        AppendByteText(InLine, b);
        if (b == 0x11) {
            InState = 2;
            return false;
        }
        if (b == 0x12) {
            InState = 3;
            return false;
        }
        return Expect(b & 0x0F);
    case 2:
        AppendByteText(InLine, b);
        return Expect(b);
    case 3:
        AppendByteText(InLine, b);
        InRemaining = b * 256;
        InState = 4; // never complete here, even when the high byte is 0
        return false;
    case 4:
        AppendByteText(InLine, b);
        return Expect(InRemaining + b);
    case 0:
        AppendByteText(InLine, b);
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
    InRemaining = payload;
    if (InRemaining > 0) {
        InState = 0;
        InLine.reserve(InLine.size() + 3 * InRemaining); // one allocation for a long packet
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
