#pragma once
#include <QList>
#include <QObject>
#include <QTimer>

// When a lost link is tried again: after each delay of a schedule in turn, the last
// one repeating, each try given at most MaxTrySeconds to answer. Only the time is
// kept here; the session makes the tries and says whether each failed.
class Reconnect : public QObject {
    Q_OBJECT
public:
    // Seconds before each try.
    static inline const QList<int> EthernetSchedule{1, 2, 4, 5};
    static inline const QList<int> SerialSchedule{1}; // a look every second
    // A connection attempt that neither succeeds nor fails in this time has failed.
    static constexpr int MaxTrySeconds = 5;

    // Seconds before try `attempt` (from 1).
    static int Delay(const QList<int> &schedule, int attempt);

    explicit Reconnect(QObject *parent = nullptr);

    void Start(const QList<int> &schedule); // the first try after the first delay
    void Failed();                          // the try failed: the next after its delay
    void Stop();
    bool Active() const { return Try > 0; }
    int Attempt() const { return Try; }     // the try under way or next
    int NextDelay() const { return Delay(Schedule, Try); }
    int IntervalMs() const { return Clock.isActive() ? Clock.interval() : 0; }
    // A second of the schedule lasts this long; tests shorten it.
    void SetSecondMs(int ms) { SecondMs = ms; }
    // The timer's handler; tests may call it instead of waiting.
    void Clock_Timer();

signals:
    void TryDue(int attempt);
    void TryUnanswered(int attempt);

private:
    void Wait(int seconds);

    QTimer Clock;
    QList<int> Schedule;
    int SecondMs = 1000;
    int Try = 0;          // 0 while stopped
    bool Trying = false;  // TryDue raised, no outcome yet
};
