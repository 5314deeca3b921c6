#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// How one script of a run went.
struct ScriptResult {
    QString script;         // as given on the command line
    double seconds = 0;     // from its start to the end of the wait for late replies
    QString failure;        // why it failed, the first line a summary; empty when it passed
    QStringList transcript; // the traffic lines it showed, without timestamps
};

// The JUnit XML report that CI servers read: one testsuite, one testcase per script, a
// failure element for a script that failed, its transcript as system-out.
class JUnitReport {
public:
    // False with *error set when the file cannot be written.
    static bool Write(const QString &path, const QList<ScriptResult> &results, QString *error);
};
