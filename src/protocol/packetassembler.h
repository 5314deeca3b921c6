#pragma once
#include "display/postmsg.h"
#include <QByteArrayView>
#include <QString>

// Frames inbound bytes into packets by their header byte:
// 11 hex takes one length byte, 12 hex two (high first), any other header its low four bits.
class PacketAssembler
{
public:
    int InState = 1;     // 1 header, 2 length after 11, 3/4 high/low length after 12, 0 payload
    int InRemaining = 0; // payload bytes still expected
    QString InLine;      // "--> " and the packet's bytes so far

    // Takes one byte; true when it completes a packet. InLine then holds the packet's line
    // and InState is already 1 for the next header.
    bool Feed(quint8 b, const PostMsg &post)
    {
        // Most bytes of a flood are payload bytes that do not end their packet: theirs
        // is the short path, inline and without the framing states.
        if (InState != 0 || InRemaining <= 1)
            return FeedFraming(b, post);
        AppendByte(InLine, b);
        --InRemaining;
        return false;
    }
    // Payload bytes that do not end their packet, at once: at most InRemaining - 1,
    // and only while InState is 0.
    void FeedPayload(QByteArrayView bytes);
    // How many bytes FeedPayload may take now.
    qsizetype PayloadRoom() const { return InState == 0 ? InRemaining - 1 : 0; }
    void Reset();

private:
    bool FeedFraming(quint8 b, const PostMsg &post);
    bool Expect(int payload);
    // Appends b in the byte format ("XX ").
    static void AppendByte(QString &line, quint8 b);
};
