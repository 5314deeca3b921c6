#pragma once
#include <QStringList>

// Rows the traffic window shows for one traffic line: 19 bytes per row, continuation
// rows indented so their bytes line up under the first row's.
QStringList WrapTrafficLine(const QString &line);

// A traffic line as the log has it with its time in front and an inbound packet's
// delay behind; the line alone while timestamps are off (stamp empty).
QString StampedLine(const QString &line, const QString &stamp, const QString &delay);

// The rows of a traffic line with its time in front (continuation rows indented past
// it) and an inbound packet's delay at the end.
QStringList StampedRows(const QString &line, bool wrap, const QString &stamp, const QString &delay);
