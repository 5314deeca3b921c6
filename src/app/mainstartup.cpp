#include "app/mainstartup.h"

#include "app/form1.h"

namespace MainStartUp {
QString DebugMsg;
bool TimerCreated = false;
qint32 TimerInterval = 10;
qint32 TimerResolution = 1;
bool TimerPeriodic = true;

Form1 *Main(SerialDriver &driver, SocketControl &socket, FileDialog &files)
{
    TimerCreated = false;
    TimerInterval = 10;
    TimerResolution = 1;
    TimerPeriodic = true;
    auto *form = new Form1(driver, socket, files); // creates the configuration dialog hidden
    form->show();
    form->InitVariables();
    return form;
}
}
