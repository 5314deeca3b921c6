#pragma once
#include <QString>
#include <functional>

// Hands one line to the Debug window. The main window's PostMsg2 stands behind it;
// tests pass a collector so the plain classes can be checked without a window.
using PostMsg = std::function<void(const QString &line)>;
