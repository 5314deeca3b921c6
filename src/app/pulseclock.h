#pragma once
#include <QObject>
#include <QElapsedTimer>
#include <QTimer>

// The periodic service timer: a millisecond tick raised as the Timer event on the
// GUI thread. Settings take effect when the timer is enabled.
class PulseClock : public QObject {
    Q_OBJECT
public:
    explicit PulseClock(QObject *parent = nullptr);

    void SetEnabled(bool enabled);
    void SetInterval(qint32 milliseconds);
    void SetResolution(qint32 milliseconds);
    void SetMode(qint32 mode); // 1 periodic, 0 one shot

    bool Enabled() const { return Clock.isActive(); }
    qint32 Interval() const { return Clock.interval(); }

signals:
    void Timer(qint32 lMilliseconds);

private:
    void Tick();

    QTimer Clock;
    QElapsedTimer Started;
};
