#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// An automatic answer as the user sets it: an inbound packet that fits When (a
// packet as the traffic window shows it, "??" for any one byte) is answered with
// Reply, a command in the OutBound Command's byte text, DelayMs after it came in.
struct AnswerRule {
    static constexpr int MaxDelayMs = 600000;

    bool on = true;
    QString when;
    QString reply;
    int delayMs = 0;

    bool operator==(const AnswerRule &other) const
    {
        return on == other.on && when == other.when && reply == other.reply && delayMs == other.delayMs;
    }
};

// The rules that are on and parse, tried top to bottom against each inbound packet;
// the first that fits answers. A rule that does not parse is never active.
class AnswerRules {
public:
    // Takes the rules; answers for each why it can never be active, or an empty text.
    QStringList SetRules(const QList<AnswerRule> &rules);
    // The first active rule that fits a packet's traffic line ("--> " and its bytes).
    std::optional<AnswerRule> Answer(const QString &inLine) const;

private:
    struct Active {
        QString pattern; // as the traffic window shows bytes, '?' where any digit fits
        AnswerRule rule;
    };
    QList<Active> Rules;
};
