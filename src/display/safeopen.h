#pragma once
#include <QFile>

// Opens file, whose name is set, like file.open(mode), but never waits: a FIFO without
// a peer or a device that is not ready cannot hold up the window. On Unix the file
// stays non-blocking, so a read with nothing waiting gives nothing, as at the end of a
// file; the QFile then holds only the descriptor and no longer knows its name. On
// failure errorString() tells why.
bool OpenWithoutBlocking(QFile &file, QIODevice::OpenMode mode);
