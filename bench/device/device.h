#pragma once
#include "link.h"
#include "packetstream.h"
#include <QTimer>
#include <optional>

struct DeviceOptions {
    quint8 key = 0;
    bool reply = true;
    bool verbose = false;
    QByteArray sendPacket; // sent once per connection, or every `every` ms
    int every = 0;
    int streamCount = 0;
    quint32 seed = 0;
    int maxLen = 65535;
    bool repeat = false;  // the stream starts over after streamCount packets, until the link closes
    bool split = false;   // everything goes out in random pieces about a millisecond apart
    bool onCommand = false; // start sending only once the first command arrives
    int dropEvery = 0;      // ms after each connection at which the device closes it (TCP)
};

// The automotive interface device as the terminal sees it: echoes each command
// back in a framed reply, and sends the match packet and packet streams on request.
class Device : public QObject {
    Q_OBJECT
public:
    Device(Link *link, const DeviceOptions &options);
    void Start(); // a terminal is on the line

private:
    void Begin();
    void Stop();
    void OnReceived(const QByteArray &bytes);
    void OnCommandEnd();
    void FeedStream();
    void Send(QByteArray bytes);
    void SendPiece();
    void DropLink();

    Link *m_link;
    DeviceOptions m_options;
    QByteArray m_command;
    QTimer m_commandGap;
    QTimer m_sendTimer;
    std::optional<PacketStream> m_stream;
    int m_streamLeft = 0;
    bool m_awaitingCommand = false;
    QByteArray m_paced; // split bytes not handed to the link yet
    QTimer m_paceTimer;
    QTimer m_dropTimer;
    QRandomGenerator m_cuts;
};
