#pragma once
#include <QStringList>
#include <optional>

// The commands sent in this run, walked with Up and Down as a shell does.
class CommandHistory {
public:
    static constexpr int Size = 50;

    // The newest first; the same text twice in a row is kept once. Ends any walk.
    void Add(const QString &command);
    // The next older command, or nothing at the oldest.
    std::optional<QString> Older();
    // The next newer command, an empty text past the newest, or nothing when not walking.
    std::optional<QString> Newer();

private:
    QStringList Commands; // newest first
    int At = -1;          // the command shown, -1 when not walking
};
