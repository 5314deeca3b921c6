#include "app/answerqueue.h"
#include <QTimer>

AnswerQueue::AnswerQueue(QObject *owner) : Timer(new QTimer(owner))
{
    Timer->setSingleShot(true);
    Timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(Timer, &QTimer::timeout, Timer, [this] { SendDue(); });
    Clock.start();
}

void AnswerQueue::Add(const QString &reply, int delayMs)
{
    if (Queue.isEmpty() && delayMs <= 0) {
        Send(reply, false);
        return;
    }
    const qint64 due = Clock.elapsed() + delayMs;
    Queue.append({Queue.isEmpty() ? due : qMax(due, Queue.last().dueMs), reply});
    if (Queue.size() == 1)
        Arm();
}

int AnswerQueue::Clear()
{
    Timer->stop();
    return int(std::exchange(Queue, {}).size());
}

void AnswerQueue::SendDue()
{
    while (!Queue.isEmpty() && Queue.first().dueMs <= Clock.elapsed())
        Send(Queue.takeFirst().reply, true);
    if (!Queue.isEmpty())
        Arm();
}

void AnswerQueue::Arm() { Timer->start(int(qMax<qint64>(0, Queue.first().dueMs - Clock.elapsed()))); }
