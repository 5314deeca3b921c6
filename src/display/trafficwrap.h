#pragma once
#include <QStringList>

// Rows the traffic window shows for one traffic line: 19 bytes per row, continuation
// rows indented so their bytes line up under the first row's.
QStringList WrapTrafficLine(const QString &line);

// The rows of a traffic line with its time in front (continuation rows indented past
// it) and an inbound packet's delay at the end.
QStringList StampedRows(const QString &line, bool wrap, const QString &stamp, const QString &delay);
