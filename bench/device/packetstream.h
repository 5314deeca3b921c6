#pragma once
#include <QByteArray>
#include <QRandomGenerator>

// Random well-framed inbound packets of all three header kinds. The same seed
// gives the same packets, so the expected traffic can be written beforehand.
class PacketStream {
public:
    PacketStream(quint32 seed, int maxLen) : m_random(seed), m_maxLen(maxLen) {}
    QByteArray Next();

private:
    int Length(int kindMax) { return m_random.bounded(qMin(kindMax, m_maxLen) + 1); }

    QRandomGenerator m_random;
    int m_maxLen;
};
