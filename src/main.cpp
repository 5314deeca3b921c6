#include <QApplication>
#include <QIcon>
#include <QSessionManager>

#include "app/session.h"
#include "app/startoptions.h"
#include "datapipe/qtserialdriver.h"
#include "datapipe/tcpsocketcontrol.h"
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

    QtSerialDriver driver;
    TcpSocketControl socket;
    QtFileDialog files;
    Session session(driver, socket, files);
    Form1 form(session, &driver, files);
    form.show();
    form.InitVariables();
    if (!options.BenchFile.isEmpty()) // as the desktop starts Quillon for a bench file
        form.OpenBench(options.BenchFile);

    // The session ending is one more close request; a refused exit cancels it.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager &manager) {
        if (!form.close())
            manager.cancel();
    });
    return app.exec();
}
