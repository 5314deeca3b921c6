#include "loopback.h"
#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <random>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace Loopback {
namespace {
sockaddr_in Address(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    return address;
}

int NoDelay(int fd)
{
    const int on = 1;
    if (fd >= 0)
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}
}

int Listen(int *port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Address(0);
    socklen_t size = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), size) != 0 || listen(fd, 4) != 0
        || getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

int Accept(int listenFd, int timeoutMs)
{
    pollfd wait{listenFd, POLLIN, 0};
    if (poll(&wait, 1, timeoutMs) != 1)
        return -1;
    return NoDelay(accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC));
}

int Connect(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Address(port);
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return NoDelay(fd);
}

bool WriteAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size_t(size));
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

bool ReadExact(int fd, char *data, qint64 size, int timeoutMs)
{
    while (size > 0) {
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, timeoutMs) != 1)
            return false;
        const ssize_t n = read(fd, data, size_t(size));
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

std::vector<double> PingPong(int fd, const QByteArray &ask, const QByteArray &reply, int count,
                             int maxPauseUs)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> us;
    us.reserve(size_t(count));
    QByteArray got(reply.size(), '\0');
    std::mt19937 random(7);
    for (int i = 0; i < count; ++i) {
        if (maxPauseUs > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(random() % maxPauseUs));
        const auto sent = Clock::now();
        if (!WriteAll(fd, ask.constData(), ask.size()) || !ReadExact(fd, got.data(), got.size(), 2000)
            || got != reply)
            break;
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
    }
    return us;
}

void Respond(int fd, int askSize, const QByteArray &reply)
{
    QByteArray ask(askSize, '\0');
    while (ReadExact(fd, ask.data(), askSize, 10000) && WriteAll(fd, reply.constData(), reply.size())) {
    }
}

Pty::Pty()
{
    char name[128];
    if (openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
        return;
    termios line{};
    tcgetattr(Slave, &line);
    cfmakeraw(&line);
    cfsetspeed(&line, B115200);
    tcsetattr(Slave, TCSANOW, &line);
    fcntl(Master, F_SETFD, FD_CLOEXEC);
    fcntl(Slave, F_SETFD, FD_CLOEXEC);
    Path = QString::fromLocal8Bit(name);
}

Pty::~Pty()
{
    if (Master >= 0)
        close(Master);
    if (Slave >= 0)
        close(Slave);
}
}

FloodBlock::FloodBlock(int size, bool small)
{
    quint32 state = 2463534242u; // xorshift: the same flood every run
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return char(state >> 24);
    };
    while (Wire.size() < size) {
        QByteArray packet;
        int payload = 0;
        const int small20 = int(Packets % 20);
        switch (small ? (small20 == 0 ? 3 : small20 % 5 == 0 ? 2 : 4) : int(Packets % 4)) {
        case 0: packet.append(char(next() & 0xF0)); break; // low nibble 0: header only
        case 1: packet.append('\x45'); payload = 5; break; // never the match packet
        case 2: payload = small ? 38 : quint8(next()); packet.append('\x11').append(char(payload)); break;
        case 3: payload = small ? 997 : 1000; packet.append('\x12').append(char(payload >> 8)).append(char(payload)); break;
        default: // 1 to 6 bytes; a high nibble of 2 to F: never header 11, 12 or the match packet's 05
            payload = quint8(next()) % 6;
            packet.append(char((2 + quint8(next()) % 14) << 4 | payload));
        }
        for (int i = 0; i < payload; ++i)
            packet.append(next());
        Wire += packet;
        Log += "--> " + packet.toHex(' ').toUpper() + " \r\n";
        ++Packets;
    }
}
