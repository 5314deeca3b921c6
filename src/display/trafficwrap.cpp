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
