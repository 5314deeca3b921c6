#include "app/pulseclock.h"

PulseClock::PulseClock(QObject *parent) : QObject(parent)
{
    Clock.setTimerType(Qt::PreciseTimer);
    connect(&Clock, &QTimer::timeout, this, &PulseClock::Tick);
}

void PulseClock::SetEnabled(bool enabled)
{
    if (!enabled) {
        Clock.stop();
        return;
    }
    Started.start();
    Clock.start();
}

void PulseClock::SetInterval(qint32 milliseconds) { Clock.setInterval(qMax(0, milliseconds)); }

// A precise QTimer already keeps to the millisecond; nothing more to set.
void PulseClock::SetResolution(qint32) {}

void PulseClock::SetMode(qint32 mode) { Clock.setSingleShot(mode == 0); }

void PulseClock::Tick() { emit Timer(qint32(Started.elapsed())); }
