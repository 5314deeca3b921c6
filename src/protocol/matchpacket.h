#pragma once
#include <QString>

// The match packet: a completed packet's traffic line matches when it equals the
// match text. The texts are compared as typed: only case and outer spaces of the
// match text are forgiven.
class MatchPacket {
public:
    void SetText(const QString &matchText);
    bool Matches(const QString &inLine) const;

private:
    QString Wanted; // upper case, outer spaces removed: made once, not per packet
};
