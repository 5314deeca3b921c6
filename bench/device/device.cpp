#include "device.h"
#include <cstdio>

namespace {
// Backlog kept in the link while streaming: enough to keep it busy, bounded memory.
constexpr qint64 StreamBacklog = 256 * 1024;
constexpr int MaxReplyPayload = 65535;
constexpr int MaxPiece = 4096;

void Log(const QByteArray &line)
{
    std::fprintf(stderr, "%s\n", line.constData());
}
}

Device::Device(Link *link, const DeviceOptions &options)
    : m_link(link), m_options(options), m_cuts(options.seed)
{
    // A command is the bytes that arrive together: a short pause ends it.
    m_commandGap.setSingleShot(true);
    m_commandGap.setInterval(5);
    m_commandGap.setTimerType(Qt::PreciseTimer);
    m_sendTimer.setInterval(options.every);
    m_paceTimer.setInterval(1);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paceTimer, &QTimer::timeout, this, &Device::SendPiece);
    m_dropTimer.setSingleShot(true);
    m_dropTimer.setInterval(options.dropEvery);
    connect(&m_dropTimer, &QTimer::timeout, this, &Device::DropLink);
    connect(&m_commandGap, &QTimer::timeout, this, &Device::OnCommandEnd);
    connect(&m_sendTimer, &QTimer::timeout, this, [this] {
        if (m_link->Pending() == 0) // a terminal that is not reading gets no backlog
            Send(m_options.sendPacket);
    });
    connect(link, &Link::Connected, this, &Device::Start);
    connect(link, &Link::Disconnected, this, &Device::Stop);
    connect(link, &Link::Received, this, &Device::OnReceived);
    connect(link, &Link::Drained, this, &Device::FeedStream);
}

void Device::Start()
{
    if (m_options.verbose)
        Log("connected");
    if (m_options.dropEvery > 0)
        m_dropTimer.start();
    m_awaitingCommand = m_options.onCommand;
    if (!m_awaitingCommand)
        Begin();
}

void Device::Begin()
{
    if (!m_options.sendPacket.isEmpty()) {
        if (m_options.every > 0)
            m_sendTimer.start();
        else
            Send(m_options.sendPacket);
    }
    if (m_options.streamCount > 0) {
        m_stream.emplace(m_options.seed, m_options.maxLen);
        m_streamLeft = m_options.streamCount;
        FeedStream();
    }
}

void Device::Stop()
{
    if (m_options.verbose)
        Log("disconnected");
    m_sendTimer.stop();
    m_dropTimer.stop();
    m_commandGap.stop();
    m_command.clear();
    m_streamLeft = 0;
    m_awaitingCommand = false;
    m_paceTimer.stop();
    m_paced.clear();
}

void Device::OnReceived(const QByteArray &bytes)
{
    for (char c : bytes) {
        m_command.append(char(c ^ m_options.key));
        if (m_command.size() == MaxReplyPayload)
            OnCommandEnd();
    }
    if (!m_command.isEmpty())
        m_commandGap.start();
    if (m_awaitingCommand && !bytes.isEmpty()) {
        m_awaitingCommand = false;
        Begin();
    }
}

void Device::OnCommandEnd()
{
    m_commandGap.stop();
    if (m_options.verbose)
        Log("<-- " + m_command.toHex(' ').toUpper());
    if (m_options.reply) {
        const int n = m_command.size();
        const QByteArray head = n <= 255 ? QByteArray{"\x11"} + char(n)
                                         : QByteArray{"\x12"} + char(n >> 8) + char(n & 0xFF);
        Send(head + m_command);
    }
    m_command.clear();
}

void Device::FeedStream()
{
    while (m_streamLeft > 0 && m_link->Pending() + m_paced.size() < StreamBacklog) {
        Send(m_stream->Next());
        if (--m_streamLeft == 0 && m_options.repeat) {
            m_stream.emplace(m_options.seed, m_options.maxLen);
            m_streamLeft = m_options.streamCount;
        }
    }
}

void Device::Send(QByteArray bytes)
{
    for (char &c : bytes)
        c ^= char(m_options.key);
    if (!m_options.split) {
        m_link->Write(bytes);
        return;
    }
    m_paced += bytes;
    if (!m_paceTimer.isActive())
        m_paceTimer.start();
}

// Cut points come from the seed: a failing run can be replayed.
void Device::SendPiece()
{
    const qsizetype n = qMin<qsizetype>(m_paced.size(), 1 + m_cuts.bounded(MaxPiece));
    m_link->Write(m_paced.left(n));
    m_paced.remove(0, n);
    if (m_paced.isEmpty())
        m_paceTimer.stop();
    FeedStream();
}

// Whatever is not on the wire yet is lost with the link, so the terminal is mostly
// left in the middle of a packet.
void Device::DropLink()
{
    if (m_options.verbose)
        Log("dropping the link");
    m_sendTimer.stop();
    m_paceTimer.stop();
    m_paced.clear();
    m_streamLeft = 0;
    m_link->Drop();
}
