#include "script/scriptreader.h"
#include "protocol/hextext.h"
#include <QIODevice>
#include <algorithm>
#include <cmath>
#include <utility>

ScriptLineReader::ScriptLineReader(QIODevice &device, qsizetype maxLineLength)
    : device_(device), maxLineLength_(maxLineLength)
{
    Fill();
}

bool ScriptLineReader::AtEnd() const
{
    // Fill runs whenever the buffer is used up, so an empty buffer means nothing is left.
    return pos_ >= buffer_.size();
}

bool ScriptLineReader::Fill()
{
    buffer_ = device_.read(ChunkSize); // empty at the end and on a read error
    pos_ = 0;
    return !buffer_.isEmpty();
}

void ScriptLineReader::SkipLineEnd()
{
    const bool cr = buffer_.at(pos_ - 1) == '\r';
    if (pos_ == buffer_.size())
        Fill();
    if (cr && pos_ < buffer_.size() && buffer_.at(pos_) == '\n' && ++pos_ == buffer_.size())
        Fill();
}

std::optional<QByteArray> ScriptLineReader::ReadLine()
{
    for (int chunks = 0; chunks < ChunksPerCall; ++chunks) {
        const char *from = buffer_.constData() + pos_;
        const qsizetype left = buffer_.size() - pos_;
        const char *end = std::find_if(from, from + left, [](char c) { return c == '\r' || c == '\n'; });
        line_.append(from, qMin(end - from, maxLineLength_ - line_.size()));
        pos_ += end - from;
        if (pos_ < buffer_.size()) {
            ++pos_;
            SkipLineEnd();
            return std::exchange(line_, QByteArray());
        }
        if (!Fill())
            return std::exchange(line_, QByteArray());
    }
    return std::nullopt;
}

ScriptLine ClassifyScriptLine(const QByteArray &raw)
{
    const QString line = TrimSpaces(QString::fromLocal8Bit(raw).toUpper());
    if (line.isEmpty())
        return {ScriptLineKind::Blank, QStringLiteral(" ")};
    if (line.startsWith(QLatin1Char(';')))
        return {ScriptLineKind::Comment, line};
    if (line.startsWith(QLatin1String("ECHO"))) {
        // The fifth character is never looked at: ECHOXON switches echo on.
        if (line.mid(5, 2) == QLatin1String("ON"))
            return {ScriptLineKind::EchoOn, QString()};
        if (line.mid(5, 3) == QLatin1String("OFF"))
            return {ScriptLineKind::EchoOff, QString()};
        return {ScriptLineKind::EchoText, TrimSpaces(line.mid(4))};
    }
    return {ScriptLineKind::Command, line};
}

int ScriptDelayTicks(const QString &delayText)
{
    // Blanks are skipped anywhere, as Val does, so "1 000" reads as 1000. The whole part
    // is summed by hand: it may have more digits than a double parser accepts.
    double whole = 0;
    QByteArray fraction("0.");
    bool negative = false;
    bool started = false;
    bool point = false;
    for (const QChar c : delayText) {
        const char a = c.toLatin1();
        if (a == ' ' || a == '\t' || a == '\n')
            continue;
        if (!started && (a == '+' || a == '-'))
            negative = a == '-';
        else if (a >= '0' && a <= '9' && point)
            fraction += a;
        else if (a >= '0' && a <= '9')
            whole = whole * 10 + (a - '0');
        else if (a == '.' && !point)
            point = true;
        else
            break;
        started = true;
    }
    // nearbyint rounds a half to the even neighbour in the default rounding mode.
    const double ticks = std::nearbyint((whole + fraction.toDouble()) / 5);
    if (negative || !(ticks > 0))
        return 0;
    return ticks > 32767 ? 32767 : int(ticks);
}
