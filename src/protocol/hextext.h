#pragma once
#include "display/postmsg.h"
#include <QByteArray>
#include <QString>

// The OutBound Command holds at most this many bytes; longer commands are refused whole.
constexpr int CommandCapacity = 260;

// A byte as the traffic window shows it: two upper-case hex digits and one space ("0A ").
QString ByteText(int byte);
void AppendByteText(QString &line, int byte);

// Removes leading and trailing spaces only; tabs and other white space stay.
QString TrimSpaces(const QString &text);

// Upper case, outer spaces removed, one space appended: the form ParseCommandText expects.
QString NormaliseCommandText(const QString &text);

// Two hex characters to one byte; a missing character counts as a space.
// Bad characters are reported and count as 0.
int HexToByte(const QString &text, const PostMsg &post);

struct ParsedCommand {
    QByteArray bytes; // empty when the command is refused
    bool tooLong = false; // more byte tokens than the capacity: nothing posted
};

// Splits normalised command text into one- and two-character tokens separated by single
// spaces. A command with any bad token is refused whole: a typo must never reach the
// device as other bytes. Its lines are posted, then "Command not sent.".
ParsedCommand ParseCommandText(const QString &normalised, int capacity, const PostMsg &post);
