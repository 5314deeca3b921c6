// Script files of any bytes: lines split as the rules written out plainly below say,
// whatever the reads the file gives, and every line classifies without harm.
#include "script/scriptreader.h"
#include <QIODevice>
#include <cstdlib>
#include <cstring>

namespace {
// Gives the file in reads of at most Step bytes, so line ends fall across reads as
// they do at the reader's chunk boundaries in a file of megabytes.
class ShortReads : public QIODevice {
public:
    ShortReads(QByteArray bytes, qint64 step) : Bytes(std::move(bytes)), Step(step) { open(ReadOnly | Unbuffered); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin(qMin(maxSize, Step), Bytes.size() - At);
        std::memcpy(data, Bytes.constData() + At, size_t(n));
        At += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray Bytes;
    qint64 Step;
    qint64 At = 0;
};

// A line ends at CR LF, a lone CR or a lone LF; the last line needs no end; a line
// longer than maxLine keeps only its first maxLine bytes.
QList<QByteArray> Split(const QByteArray &file, qsizetype maxLine)
{
    QList<QByteArray> lines{QByteArray()};
    for (qsizetype i = 0; i < file.size(); ++i) {
        if (file[i] != '\r' && file[i] != '\n') {
            if (lines.last().size() < maxLine)
                lines.last() += file[i];
            continue;
        }
        if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n')
            ++i;
        if (i + 1 < file.size())
            lines << QByteArray();
    }
    if (file.isEmpty())
        lines.clear();
    return lines;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray file(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    // The first byte sets the read size and, another way, the line limit.
    const qsizetype maxLine = 1 + (data[0] ^ 0x5A);
    ShortReads device(file, 1 + data[0]);
    ScriptLineReader reader(device, maxLine);
    QList<QByteArray> lines;
    while (!reader.AtEnd()) {
        const std::optional<QByteArray> raw = reader.ReadLine();
        if (!raw)
            continue; // a long line goes on in the next call
        lines << *raw;
        const ScriptLine line = ClassifyScriptLine(lines.last());
        const QString &text = line.text;
        if (line.kind == ScriptLineKind::Command
            && (text.isEmpty() || text.startsWith(' ') || text.endsWith(' ') || text.startsWith(';')
                || text.startsWith("ECHO") || text != text.toUpper()))
            std::abort();
    }
    const int ticks = ScriptDelayTicks(QString::fromLatin1(file));
    if (lines != Split(file, maxLine) || ticks < 0 || ticks > 32767)
        std::abort();
    return 0;
}
