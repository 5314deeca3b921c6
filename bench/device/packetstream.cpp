#include "packetstream.h"
#include <QVector>

QByteArray PacketStream::Next()
{
    QByteArray packet;
    int length = 0;
    switch (m_random.bounded(3)) {
    case 0: {
        length = Length(15);
        quint8 header;
        do // any high nibble, but 11 and 12 mean other framings
            header = quint8(m_random.bounded(16) << 4 | length);
        while (header == 0x11 || header == 0x12);
        packet.append(char(header));
        break;
    }
    case 1:
        length = Length(255);
        packet.append(char(0x11)).append(char(length));
        break;
    default:
        length = Length(65535);
        packet.append(char(0x12)).append(char(length >> 8)).append(char(length & 0xFF));
        break;
    }
    QVector<quint32> payload((length + 3) / 4);
    m_random.fillRange(payload.data(), payload.size());
    return packet.append(reinterpret_cast<const char *>(payload.constData()), length);
}
