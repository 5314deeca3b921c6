#include "display/trafficwrap.h"

QStringList WrapTrafficLine(const QString &line)
{
    const int W = 57; // 19 bytes of "XX "
    const int n = line.size();
    if (n <= W)
        return {line};
    // One allocation per row: a long packet gives many rows.
    const QStringView text(line);
    const auto indented = [text](int from, int size) {
        QString row;
        row.reserve(3 + size);
        return row.append(QLatin1String("   ")).append(text.mid(from, size));
    };
    QStringList rows;
    rows.reserve(2 + (n - W - 3) / W);
    rows << line.left(W + 3);
    int p = W + 3; // 0-based: the character after the first row
    while (p + 1 + W <= n) {
        rows << indented(p, W);
        p += W;
    }
    // The rest without the line's very last character (a byte line's trailing space).
    if (p + 1 < n)
        rows << indented(p, n - p - 1);
    return rows;
}

QString StampedLine(const QString &line, const QString &stamp, const QString &delay)
{
    if (stamp.isEmpty())
        return line;
    return stamp + QLatin1Char(' ') + line + (delay.isEmpty() ? QString() : QLatin1Char(' ') + delay);
}

QStringList StampedRows(const QString &line, bool wrap, const QString &stamp, const QString &delay)
{
    QStringList rows = wrap ? WrapTrafficLine(line) : QStringList{line};
    const QString indent(stamp.size() + 1, QLatin1Char(' '));
    for (qsizetype i = 0; i < rows.size(); ++i)
        rows[i].prepend(i == 0 ? stamp + QLatin1Char(' ') : indent);
    if (!delay.isEmpty()) // one row reads as the log's line; a wrapped last row lost its trailing space
        rows.last().append(rows.size() == 1 ? QLatin1String(" ") : QLatin1String("  ")).append(delay);
    return rows;
}
