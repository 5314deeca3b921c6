#pragma once
#include <QThread>
#include <future>

class ReportBatch;
class Session;
class SessionReports;

// The run on a thread of its own, as the program runs it: the real serial driver, the
// socket control and the session over them are made, live and are destroyed on that
// thread, so that neither a paint nor a dialog ever holds up a packet. The windows ask
// Run() for things only by queued calls; what the session reports reaches `shown`, on
// the thread that made this, in batches (ReportBatch). `shown` must outlive this.
class SessionThread : public QThread {
public:
    SessionThread(SessionReports &shown, int shownRows);
    // Ends the thread's event loop and waits for it: the session goes with it.
    ~SessionThread() override;

    Session &Run() const { return *Made.session; }
    ReportBatch &Batch() const { return *Made.batch; } // for tests and the benchmark

protected:
    void run() override;

private:
    struct Parts {
        Session *session;
        ReportBatch *batch;
    };
    SessionReports &Shown;
    const int ShownRows;
    std::promise<Parts> Ready;
    Parts Made{};
};
