#pragma once
#include "link.h"

class QSocketNotifier;

// Plays the device on the master side of a raw pseudo-terminal. The slave stays
// open here too, so a terminal may open and close it at will without a hang-up.
class PtyLink : public Link {
    Q_OBJECT
public:
    ~PtyLink() override;
    bool Open(QString *error);
    QString SlavePath() const { return m_slavePath; }
    void Write(const QByteArray &bytes) override;
    qint64 Pending() const override { return m_out.size(); }

private:
    void OnReadable();
    void Flush();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QByteArray m_out;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
};
