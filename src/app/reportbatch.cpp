#include "app/reportbatch.h"

#include <algorithm>

ReportBatch::ReportBatch(SessionReports &session, SessionReports &shown, int shownRows)
    : Session(session), ShownTo(shown), ShownRows(shownRows)
{
    Forward(&SessionReports::DebugLine);
    Forward(&SessionReports::DebugStatusLine);
    connect(&Session, &SessionReports::TrafficLine, this,
            [this](const QString &line, bool wrap, const QString &stamp, const QString &delay) {
                Add({{}, line, stamp, delay, wrap});
            });
    Forward(&SessionReports::TrafficCleared);
    Forward(&SessionReports::LinkStatus);
    Forward(&SessionReports::PartialPacket);
    Forward(&SessionReports::KeyByteText);
    Forward(&SessionReports::DisplayEnabled);
    Forward(&SessionReports::CommandText);
    Forward(&SessionReports::ScriptDelayText);
    Forward(&SessionReports::ScriptStatus);
    Forward(&SessionReports::ScriptPath);
    Forward(&SessionReports::LogStatus);
    Forward(&SessionReports::AnswerProblems);
    Forward(&SessionReports::PortDeviceMoved);
    Forward(&SessionReports::ConfigureCommsDone);
    Forward(&SessionReports::QueryUnloadDone);
    Due.setSingleShot(true);
    connect(&Due, &QTimer::timeout, this, &ReportBatch::HandOver);
}

void ReportBatch::Add(Report report)
{
    Waiting.push_back(std::move(report));
    if (!Waiting.back().Show && ++WaitingTraffic > 2 * ShownRows) {
        // Keeps the newest ShownRows traffic lines and every other report, in order.
        int skip = WaitingTraffic - ShownRows;
        Waiting.erase(std::remove_if(Waiting.begin(), Waiting.end(),
                                     [&skip](const Report &r) { return !r.Show && skip-- > 0; }),
                      Waiting.end());
        WaitingTraffic = ShownRows;
    }
    if (!Due.isActive() && !BeingShown)
        Due.start(SinceHandOver.isValid() ? int(qMax<qint64>(0, FrameMs - SinceHandOver.elapsed())) : 0);
}

void ReportBatch::HandOver()
{
    Due.stop();
    if (Waiting.empty() || BeingShown)
        return;
    BeingShown = true;
    SinceHandOver.start();
    QMetaObject::invokeMethod(&ShownTo, [this, batch = std::move(Waiting), &shown = ShownTo] {
        for (const Report &report : batch) {
            if (report.Show)
                report.Show(shown);
            else
                emit shown.TrafficLine(report.Line, report.Wrap, report.Stamp, report.Delay);
        }
        QMetaObject::invokeMethod(this, &ReportBatch::Shown, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
    Waiting.clear();
    WaitingTraffic = 0;
}

// The windows have shown the last batch: what came meanwhile follows at the frame's end.
void ReportBatch::Shown()
{
    BeingShown = false;
    if (!Waiting.empty() && !Due.isActive())
        Due.start(int(qMax<qint64>(0, FrameMs - SinceHandOver.elapsed())));
}
