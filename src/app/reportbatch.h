#pragma once
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <type_traits>
#include <vector>

#include "app/sessionreports.h"

// What the session reports, gathered on the session's thread in the order it came and
// handed to `shown`, a SessionReports of the windows' thread, as one batch: the first
// at once, then at most one a frame while reports flow, and the next only once the
// windows have shown the last. A flood of packets then costs the windows a batch a
// frame, not a queued call a line. Of the traffic lines waiting, only the newest
// `shownRows` are kept: the older ones would never be seen, as the windows show that
// many rows at most; every other report is kept. `shown` must outlive this.
class ReportBatch : public QObject {
public:
    static constexpr int FrameMs = 16;

    ReportBatch(SessionReports &session, SessionReports &shown, int shownRows);
    // Hands over what waits now, unless a batch is still being shown.
    void HandOver();
    // Nothing waits to be handed over: all reported so far is shown or on its way.
    bool AllHandedOver() const { return Waiting.empty(); }

private:
    // A traffic line, the report of a flood, is kept as its values; any other as the
    // call that shows it.
    struct Report {
        std::function<void(SessionReports &)> Show; // empty for a traffic line
        QString Line, Stamp, Delay;
        bool Wrap = false;
    };
    template <typename... Args> void Forward(void (SessionReports::*signal)(Args...))
    {
        connect(&Session, signal, this, [this, signal](const std::decay_t<Args> &...args) {
            Add({[signal, args...](SessionReports &shown) { (shown.*signal)(args...); }, {}, {}, {}});
        });
    }
    void Add(Report report);
    void Shown();

    SessionReports &Session;
    SessionReports &ShownTo;
    const int ShownRows;
    std::vector<Report> Waiting;
    int WaitingTraffic = 0;
    bool BeingShown = false;
    QTimer Due;
    QElapsedTimer SinceHandOver;
};
