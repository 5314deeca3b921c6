#include "app/commandhistory.h"

void CommandHistory::Add(const QString &command)
{
    At = -1;
    if (command.isEmpty() || (!Commands.isEmpty() && Commands.first() == command))
        return;
    Commands.prepend(command);
    if (Commands.size() > Size)
        Commands.removeLast();
}

std::optional<QString> CommandHistory::Older()
{
    if (At + 1 >= Commands.size())
        return std::nullopt;
    return Commands.at(++At);
}

std::optional<QString> CommandHistory::Newer()
{
    if (At < 0)
        return std::nullopt;
    return --At < 0 ? QString() : Commands.at(At);
}
