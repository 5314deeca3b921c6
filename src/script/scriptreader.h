#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

class QIODevice;

// Reads a script file line by line. A line ends at CR LF, a lone CR or a lone LF, and
// the last line needs no terminator. A read error counts as the end of the file, so a
// broken file ends the script instead of stalling it.
//
// A line longer than maxLineLength comes back cut to that length and the rest of it is
// dropped unkept, so an endless line cannot take all memory. One call reads at most
// ChunksPerCall chunks, so an endless line cannot hold up the window either: without
// a line end by then, ReadLine answers nothing and goes on from there next time. The default holds the first
// 4098 byte tokens of any line (three characters each, at most 12 bytes of UTF-8 before
// upper-casing): a command the runner refuses as too long is still refused, cut or not.
class ScriptLineReader {
public:
    static constexpr qint64 ChunkSize = 64 * 1024;
    static constexpr qsizetype MaxLineLength = 64 * 1024;
    static constexpr int ChunksPerCall = 16;

    explicit ScriptLineReader(QIODevice &device, qsizetype maxLineLength = MaxLineLength);
    bool AtEnd() const;
    std::optional<QByteArray> ReadLine();

private:
    bool Fill();
    // Moves pos_ past the line end at pos_ - 1, whose LF may start the next chunk.
    void SkipLineEnd();

    QIODevice &device_;
    const qsizetype maxLineLength_;
    QByteArray line_; // the line being read, while a call ran out of chunks
    QByteArray buffer_;
    qsizetype pos_ = 0; // next unread byte of buffer_; buffer_ is refilled once it is used up
};

enum class ScriptLineKind { Blank, Comment, EchoOn, EchoOff, EchoText, Command };

struct ScriptLine {
    ScriptLineKind kind;
    QString text; // what the traffic writers get; for a command, the upper-cased stripped line
};

// Decodes one raw line (8-bit local encoding), upper-cases it, strips spaces and
// classifies it by the first matching rule: blank, ";" comment, ECHO directive, command.
ScriptLine ClassifyScriptLine(const QByteArray &raw);

// The script delay box's text as service ticks: the number at its start (like a
// classic Val) divided by 5, a half rounded to even; negative gives 0, at most 32767.
int ScriptDelayTicks(const QString &delayText);
