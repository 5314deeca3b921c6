#include "run/transcript.h"
#include <QFile>

namespace {
const QString AnyLines = QStringLiteral("...");

bool IsHexDigit(QChar c) { return c.isDigit() || (c.toUpper() >= 'A' && c.toUpper() <= 'F'); }

// A byte is two hex digits wherever the line shows it, so "??" matches in place.
bool LineMatches(const QString &expected, const QString &actual)
{
    if (expected.size() != actual.size())
        return false;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (expected.mid(i, 2) == QLatin1String("??") && IsHexDigit(actual[i]) && IsHexDigit(actual[i + 1]))
            ++i;
        else if (expected[i] != actual[i])
            return false;
    }
    return true;
}

QString Shown(const std::optional<QString> &line)
{
    return line ? '"' + *line + '"' : QStringLiteral("(no more lines)");
}
}

QString TranscriptMismatch::Text(const QString &expectFile) const
{
    return QString("line %1 of the transcript differs from line %2 of %3\n  expected: %4\n  came:     %5")
        .arg(actualLine)
        .arg(expectedLine)
        .arg(expectFile, Shown(expected), Shown(actual));
}

std::optional<ExpectedTranscript> ExpectedTranscript::Read(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split('\n');
    if (lines.last().isEmpty())
        lines.removeLast(); // after the last line's end
    for (QString &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return ExpectedTranscript(lines);
}

bool ExpectedTranscript::Write(const QString &path, const QStringList &lines, QString *error)
{
    QFile file(path);
    QByteArray text;
    for (const QString &line : lines)
        text += line.toLocal8Bit() + '\n';
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size() && file.flush())
        return true;
    *error = file.errorString();
    return false;
}

// Glob matching over lines: on a failure after a "...", the "..." takes one line more and
// the lines after it are tried again. Of all the places that failed, the one reached
// furthest into the expected lines (then into the actual ones) is reported.
std::optional<TranscriptMismatch> ExpectedTranscript::Compare(const QStringList &actual) const
{
    qsizetype e = 0, a = 0, star = -1, resume = 0, failE = -1, failA = -1;
    const auto failAt = [&](qsizetype atE, qsizetype atA) {
        if (atE > failE || (atE == failE && atA > failA))
            failE = atE, failA = atA;
    };
    while (a < actual.size()) {
        if (e < Lines.size() && Lines[e] == AnyLines) {
            star = e++;
            resume = a;
        } else if (e < Lines.size() && LineMatches(Lines[e], actual[a])) {
            ++e, ++a;
        } else {
            failAt(e, a);
            if (star < 0)
                break;
            e = star + 1;
            a = ++resume;
        }
    }
    while (e < Lines.size() && Lines[e] == AnyLines)
        ++e;
    if (a == actual.size() && e == Lines.size())
        return std::nullopt;
    failAt(e, a);
    TranscriptMismatch m{int(failE + 1), int(failA + 1), std::nullopt, std::nullopt};
    if (failE < Lines.size())
        m.expected = Lines[failE];
    if (failA < actual.size())
        m.actual = actual[failA];
    return m;
}
