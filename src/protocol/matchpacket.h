#pragma once
#include <QString>

// True when a completed packet's traffic line equals the match text. The texts are compared
// as typed: only case and outer spaces of the match text are forgiven.
bool PacketMatches(const QString &inLine, const QString &matchText);
