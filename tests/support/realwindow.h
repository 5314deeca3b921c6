#pragma once
#include "app/reportbatch.h"
#include "app/sessionthread.h"
#include "testwindow.h"

// The run as the program runs it: on a thread of its own, over the real serial driver
// and TCP socket, its reports reaching the window in batches.
struct ThreadParts {
    SessionReports shown;
    SessionThread thread{shown, LineWindow::MaxRows};
    static constexpr bool PortTable = true;
    Session &Requests() { return thread.Run(); }
    SessionReports &Reports() { return shown; }
    // Returns once the session has handled every request made so far and the window has
    // shown all it reported until then. Under a flood that never stops the session is never
    // idle, so this waits for what was reported before the last call, not for quiet: a
    // batch still being shown is shown here, and the next round hands over the rest.
    void Settle()
    {
        for (bool handed = false; !handed;) {
            QMetaObject::invokeMethod(&thread.Run(), [&] {
                thread.Batch().HandOver();
                handed = thread.Batch().AllHandedOver();
            }, Qt::BlockingQueuedConnection);
            QCoreApplication::processEvents();
        }
    }
};

using RealWindow = WindowOver<ThreadParts>;
