#include "app/sessionthread.h"

#include "app/reportbatch.h"
#include "app/session.h"
#include "datapipe/qtserialdriver.h"
#include "datapipe/tcpsocketcontrol.h"

SessionThread::SessionThread(SessionReports &shown, int shownRows) : Shown(shown), ShownRows(shownRows)
{
    setObjectName("Session"); // the thread's name in a profile
    start();
    Made = Ready.get_future().get();
}

SessionThread::~SessionThread()
{
    quit();
    wait();
}

void SessionThread::run()
{
    QtSerialDriver driver;
    TcpSocketControl socket;
    Session session(driver, socket);
    ReportBatch batch(session, Shown, ShownRows);
    Ready.set_value({&session, &batch});
    exec();
}
