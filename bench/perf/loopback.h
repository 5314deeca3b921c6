#pragma once
#include <QByteArray>
#include <QString>
#include <vector>

// The bench's own peers: plain blocking sockets on 127.0.0.1 and pseudo-terminals,
// with nothing between the system call and the clock.
namespace Loopback {
// A listening socket on 127.0.0.1 with a free port, put in *port.
int Listen(int *port);
// -1 when nobody connects in time.
int Accept(int listenFd, int timeoutMs);
int Connect(int port);
bool WriteAll(int fd, const char *data, qint64 size);
bool ReadExact(int fd, char *data, qint64 size, int timeoutMs);

// Sends ask and waits for exactly reply, count times, pausing a random 0..maxPauseUs
// before each send; returns each round trip in microseconds (fewer on a wrong reply).
std::vector<double> PingPong(int fd, const QByteArray &ask, const QByteArray &reply, int count,
                             int maxPauseUs);
// Answers every ask.size() bytes with reply until the other end goes away.
void Respond(int fd, int askSize, const QByteArray &reply);

// A pseudo-terminal with a raw line; both ends closed on destruction.
struct Pty {
    Pty();
    ~Pty();
    int Master = -1;
    int Slave = -1;
    QString Path; // the slave device, as a serial port opens it
};
}

// One period of the inbound flood, whole packets only, so the block can be sent over and
// over. The bench's first mix: 1-byte, 6-byte, header 11 and header 12 (1,000-byte
// payload) packets in turn, about 285 bytes a packet. Small: of every 20 packets 16 of
// 1 to 6 bytes, 3 of 40 and 1 of 1,000, about 60 bytes a packet.
struct FloodBlock {
    FloodBlock(int size, bool small);
    QByteArray Wire; // the bytes the device sends
    QByteArray Log;  // the log lines they must give, CR LF ended
    qint64 Packets = 0;
};
