#pragma once
#include <QString>

class FileDialog;
class Form1;
class SerialDriver;
class SocketControl;

// Start-up: the pending Debug line and the service timer's settings, one copy for
// the program.
namespace MainStartUp {
extern QString DebugMsg;
extern bool TimerCreated;
extern qint32 TimerInterval;
extern qint32 TimerResolution;
extern bool TimerPeriodic;

// Creates and shows the main window with every setting at its default. The caller
// owns the window; the driver, socket and dialog must outlive it.
Form1 *Main(SerialDriver &driver, SocketControl &socket, FileDialog &files);
}
