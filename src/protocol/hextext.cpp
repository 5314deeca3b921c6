#include "protocol/hextext.h"
#include <QList>
#include <utility>

namespace {

const char HexDigits[] = "0123456789ABCDEF";
constexpr uint Space = ' ';

int NibbleValue(uint c)
{
    if (c >= '0' && c <= '9')
        return int(c - '0');
    if (c >= 'A' && c <= 'F')
        return int(c - 'A' + 10);
    return -1;
}

// Characters are code points, so a character outside the BMP is reported as one code.
// A bad nibble counts as 0 and clears valid.
int PairToByte(uint high, uint low, const PostMsg &post, bool &valid)
{
    int result = 0;
    const int h = NibbleValue(high);
    if (h < 0)
        post(QStringLiteral("Nib1 not valid: ") + QString::number(high, 16).toUpper());
    else
        result = h * 16;
    const int l = NibbleValue(low);
    if (l < 0)
        post(QStringLiteral("Nib0 not valid: ") + QString::number(low, 16).toUpper());
    else
        result += l;
    valid = valid && h >= 0 && l >= 0;
    return result;
}

} // namespace

void AppendByteText(QString &line, int byte)
{
    line += QLatin1Char(HexDigits[(byte >> 4) & 0x0F]);
    line += QLatin1Char(HexDigits[byte & 0x0F]);
    line += QLatin1Char(' ');
}

QString ByteText(int byte)
{
    QString text;
    AppendByteText(text, byte);
    return text;
}

QString TrimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString NormaliseCommandText(const QString &text)
{
    return TrimSpaces(text.toUpper()) + QLatin1Char(' ');
}

int HexToByte(const QString &text, const PostMsg &post)
{
    // Four UTF-16 units always cover the first two code points.
    const QList<uint> chars = text.left(4).toUcs4();
    bool valid = true;
    return PairToByte(chars.size() > 0 ? chars[0] : Space, chars.size() > 1 ? chars[1] : Space, post, valid);
}

ParsedCommand ParseCommandText(const QString &normalised, int capacity, const PostMsg &post)
{
    const QList<uint> text = normalised.toUcs4();
    const qsizetype length = text.size();
    // Positions count from 1; a position past the end is an empty character, not a space.
    auto at = [&](qsizetype pos) { return text[pos - 1]; };
    auto spaceAt = [&](qsizetype pos) { return pos <= length && at(pos) == Space; };

    // Tokens are collected first so that an over-long command is refused before any Nib line.
    QList<std::pair<uint, uint>> tokens;
    bool bad = false;
    for (qsizetype i = 1;;) {
        if (spaceAt(i + 1)) {
            tokens.append({'0', at(i)});
            i += 2;
        } else if (spaceAt(i + 2)) {
            tokens.append({at(i), at(i + 1)});
            i += 3;
        } else {
            bad = true;
            break;
        }
        if (tokens.size() > capacity) {
            ParsedCommand refused;
            refused.tooLong = true;
            return refused;
        }
        if (i >= length)
            break;
    }

    ParsedCommand result;
    result.bytes.reserve(tokens.size());
    bool valid = !bad;
    for (const auto &[high, low] : tokens)
        result.bytes.append(char(PairToByte(high, low, post, valid)));
    if (bad)
        post(QStringLiteral("Error in command string."));
    if (!valid) {
        post(QStringLiteral("Command not sent."));
        result.bytes.clear();
    }
    return result;
}
