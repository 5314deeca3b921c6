#include "protocol/answerrules.h"
#include "protocol/hextext.h"

namespace {
bool IsHexDigit(QChar c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// The When text as a traffic line shows its bytes: two upper-case digits a byte, one
// space between; or why it is not a packet.
QString Pattern(const QString &when, QString *problem)
{
    const QStringList tokens = when.toUpper().split(' ', Qt::SkipEmptyParts);
    if (tokens.isEmpty())
        *problem = "When is empty.";
    for (const QString &token : tokens) {
        if (token != "??" && (token.size() != 2 || !IsHexDigit(token[0]) || !IsHexDigit(token[1]))) {
            *problem = QString("When: \"%1\" is not a byte (two hex digits) or ??.").arg(token);
            break;
        }
    }
    return tokens.join(' ');
}

// Why the reply would be refused, in the words the command box's send would use.
QString ReplyProblem(const QString &reply)
{
    if (reply.trimmed().isEmpty())
        return "Reply is empty.";
    QStringList lines;
    const ParsedCommand parsed = ParseCommandText(NormaliseCommandText(reply), CommandCapacity,
                                                  [&lines](const QString &line) { lines << line; });
    if (parsed.tooLong)
        return QString("Reply is longer than %1 bytes.").arg(CommandCapacity);
    return parsed.bytes.isEmpty() ? "Reply: " + lines.value(0) : QString(); // the first line says what is wrong
}

bool Fits(QStringView bytes, const QString &pattern)
{
    if (bytes.size() != pattern.size())
        return false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (pattern[i] != '?' && pattern[i] != bytes[i])
            return false;
    }
    return true;
}
}

QStringList AnswerRules::SetRules(const QList<AnswerRule> &rules)
{
    Rules.clear();
    QStringList problems;
    for (const AnswerRule &rule : rules) {
        QString problem;
        const QString pattern = Pattern(rule.when, &problem);
        if (problem.isEmpty())
            problem = ReplyProblem(rule.reply);
        if (problem.isEmpty() && rule.on)
            Rules.append({pattern, rule});
        problems << problem;
    }
    return problems;
}

std::optional<AnswerRule> AnswerRules::Answer(const QString &inLine) const
{
    const QStringView bytes = QStringView(inLine).mid(4).trimmed(); // without "--> "
    for (const Active &active : Rules) {
        if (Fits(bytes, active.pattern))
            return active.rule;
    }
    return std::nullopt;
}
