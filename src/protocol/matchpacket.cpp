#include "protocol/matchpacket.h"
#include "protocol/hextext.h"

bool PacketMatches(const QString &inLine, const QString &matchText)
{
    const QString received = TrimSpaces(inLine).mid(4); // without "--> "
    const QString wanted = TrimSpaces(matchText).toUpper();
    return !wanted.isEmpty() && received == wanted;
}
