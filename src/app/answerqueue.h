#pragma once
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <functional>

class QObject;
class QTimer;

// Answers waiting for their delay. Each goes out once its delay has passed since its
// packet came in, but never before an answer asked for earlier: answers keep the order
// of the packets they answer. A timer brings them; nothing waits in the meantime.
class AnswerQueue {
public:
    // The timer lives with owner, on its thread.
    explicit AnswerQueue(QObject *owner);

    // Sends one reply; fromTimer when the timer brought it, not a packet's handler.
    std::function<void(const QString &reply, bool fromTimer)> Send;

    // An answer to a packet that has just come in: sent at once when it need not wait.
    void Add(const QString &reply, int delayMs);
    // Drops the answers still waiting; answers how many there were.
    int Clear();

private:
    void SendDue();
    void Arm();

    struct Waiting {
        qint64 dueMs;
        QString reply;
    };
    QList<Waiting> Queue; // in the order the packets came in, so due times never decrease
    QElapsedTimer Clock;
    QTimer *Timer;
};
