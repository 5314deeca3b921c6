#include "app/reconnect.h"

int Reconnect::Delay(const QList<int> &schedule, int attempt)
{
    return schedule.isEmpty() ? 0 : schedule[qBound(1, attempt, int(schedule.size())) - 1];
}

Reconnect::Reconnect(QObject *parent) : QObject(parent)
{
    Clock.setSingleShot(true);
    connect(&Clock, &QTimer::timeout, this, &Reconnect::Clock_Timer);
}

void Reconnect::Start(const QList<int> &schedule)
{
    Schedule = schedule;
    Try = 1;
    Trying = false;
    Wait(NextDelay());
}

void Reconnect::Failed()
{
    if (!Active())
        return;
    ++Try;
    Trying = false;
    Wait(NextDelay());
}

void Reconnect::Stop()
{
    Try = 0;
    Trying = false;
    Clock.stop();
}

void Reconnect::Clock_Timer()
{
    if (!Active())
        return;
    if (Trying) {
        emit TryUnanswered(Try);
        return;
    }
    Trying = true;
    Wait(MaxTrySeconds); // armed first: the handler may decide the outcome at once
    emit TryDue(Try);
}

void Reconnect::Wait(int seconds) { Clock.start(seconds * SecondMs); }
