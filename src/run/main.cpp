// quillon-run: runs a script file against the device without any window, for test rigs
// and CI.
#include <QCoreApplication>
#include <QMetaObject>

#include "run/runner.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("quillon-run");
    QCoreApplication::setApplicationVersion(QUILLON_VERSION);
    RunOptions options;
    if (const int code = ParseRunOptions(QCoreApplication::arguments(), &options))
        return code < 0 ? 0 : code;
    Runner runner(options);
    QObject::connect(&runner, &Runner::Finished, &app, &QCoreApplication::exit);
    QMetaObject::invokeMethod(&runner, &Runner::Start, Qt::QueuedConnection);
    return app.exec();
}
