#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QSessionManager>

#include "app/sessionreports.h"
#include "app/sessionthread.h"
#include "app/startoptions.h"
#include "windows/form1.h"
#include "windows/qtfiledialog.h"

int main(int argc, char *argv[])
{
    // Read before the application object exists: --help needs no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    StartOptions options;
    if (const int code = ParseStartOptions(arguments, &options))
        return code < 0 ? 0 : code;

    QApplication app(argc, argv);
    QApplication::setApplicationName("Quillon");
    QApplication::setApplicationVersion(QUILLON_VERSION);
    QApplication::setWindowIcon(QIcon(":/quillon.png"));
    QGuiApplication::setDesktopFileName("quillon");
    // The windows are laid out for text of at most 9 points; a larger desktop font
    // would clip their captions. Bigger text comes with a scale factor instead.
    QFont font = QApplication::font();
    if (font.pointSizeF() > 9) {
        font.setPointSizeF(9);
        QApplication::setFont(font);
    }

    // The run on a thread of its own; the windows here get its reports in batches.
    SessionReports shown;
    SessionThread run(shown, LineWindow::MaxRows);
    QtFileDialog files;
    Form1 form(run.Run(), shown, true, files);
    form.show();
    form.InitVariables();
    if (!options.BenchFile.isEmpty()) // as the desktop starts Quillon for a bench file
        form.OpenBench(options.BenchFile);

    // The session ending is one more close request, answered once the run has closed
    // the link and the log; a refused exit cancels it.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&](QSessionManager &manager) {
        QEventLoop answer;
        QObject::connect(&shown, &SessionReports::QueryUnloadDone, &answer, &QEventLoop::quit);
        if (!form.close())
            answer.exec();
        if (form.isVisible())
            manager.cancel();
    });
    return app.exec();
}
