#include "protocol/matchpacket.h"
#include "protocol/hextext.h"

namespace {
// TrimSpaces without a copy: every inbound packet is compared.
QStringView Trimmed(QStringView text)
{
    while (!text.isEmpty() && text.front() == QLatin1Char(' '))
        text = text.sliced(1);
    while (!text.isEmpty() && text.back() == QLatin1Char(' '))
        text.chop(1);
    return text;
}
}

void MatchPacket::SetText(const QString &matchText) { Wanted = TrimSpaces(matchText).toUpper(); }

bool MatchPacket::Matches(const QString &inLine) const
{
    return !Wanted.isEmpty() && Trimmed(inLine).mid(4) == Wanted; // without "--> "
}
