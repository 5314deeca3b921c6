#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// Where a run's transcript first parts from the lines expected of it. Lines count from 1;
// a side without a line there (its end came first) holds nullopt.
struct TranscriptMismatch {
    int expectedLine = 0;
    int actualLine = 0;
    std::optional<QString> expected;
    std::optional<QString> actual;

    // Three lines: where, what was expected, what came; expectFile names the expected side.
    QString Text(const QString &expectFile) const;
};

// The traffic lines a script's run must show, as quillon-run prints them without
// timestamps. In a line "??" stands for any one byte; a line of only "..." for any number
// of lines, none included. Everything else, spaces too, must be as it came.
class ExpectedTranscript {
public:
    explicit ExpectedTranscript(QStringList lines = {}) : Lines(std::move(lines)) {}

    // Reads or writes an expect file: 8-bit text in the local encoding, one line per
    // line ended by LF (CR LF reads the same). On failure *error says why.
    static std::optional<ExpectedTranscript> Read(const QString &path, QString *error);
    static bool Write(const QString &path, const QStringList &lines, QString *error);

    std::optional<TranscriptMismatch> Compare(const QStringList &actual) const;

private:
    QStringList Lines;
};
