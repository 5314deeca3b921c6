#pragma once
#include <QByteArray>
#include <QString>

// A raw pseudo-terminal pair for serial tests: the code under test opens the slave
// by its path, the test talks through the master. Waiting runs the Qt event loop,
// so a QSerialPort on the slave side keeps moving data meanwhile.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal() { CloseMaster(); }
    Q_DISABLE_COPY(PseudoTerminal)

    bool Open();
    QString SlavePath() const { return Path; }
    // Writes all of data at the master, waiting while the line is full.
    // False when the master is closed or nothing moves for a few seconds.
    bool Write(const QByteArray &data);
    // Reads what arrives at the master until atLeast bytes are in or waitMs have passed.
    QByteArray Read(int waitMs, int atLeast = 1);
    // Hangs up the line, as when a USB adapter is pulled out.
    void CloseMaster();
    // The line speed set on the slave side, as a termios speed (B57600).
    unsigned SlaveSpeed() const;

private:
    // Runs pending events, then sleeps up to waitMs for the master to become ready.
    void Wait(short events, int waitMs);

    int Master = -1, Slave = -1;
    QString Path;
};
