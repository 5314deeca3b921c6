#pragma once
#include <QStringList>

// Rows the traffic window shows for one traffic line: 19 bytes per row, continuation
// rows indented so their bytes line up under the first row's.
QStringList WrapTrafficLine(const QString &line);
