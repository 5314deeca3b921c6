#pragma once
#include <QByteArray>
#include <QObject>

// The device's end of one link to the terminal. Callers write whole packets only,
// so replies and streamed packets never interleave inside a packet.
class Link : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void Write(const QByteArray &bytes) = 0;
    // Bytes handed to Write that the link has not taken yet.
    virtual qint64 Pending() const = 0;
    // Ends the current connection as a device that goes away does; a link that
    // cannot be dropped (a pseudo-terminal) ignores it.
    virtual void Drop() {}

signals:
    void Connected();
    void Disconnected();
    void Received(const QByteArray &bytes);
    void Drained(); // the link took some bytes: room for more
};
