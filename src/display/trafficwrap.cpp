#include "display/trafficwrap.h"

QStringList WrapTrafficLine(const QString &line)
{
    const int W = 57; // 19 bytes of "XX "
    const int n = line.size();
    if (n <= W)
        return {line};
    const QString indent(3, QLatin1Char(' '));
    QStringList rows{line.left(W + 3)};
    int p = W + 3; // 0-based: the character after the first row
    while (p + 1 + W <= n) {
        rows << indent + line.mid(p, W);
        p += W;
    }
    // The rest without the line's very last character (a byte line's trailing space).
    if (p + 1 < n)
        rows << indent + line.mid(p, n - p - 1);
    return rows;
}
