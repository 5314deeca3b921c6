#include <QApplication>
#include <QIcon>
#include <QSessionManager>

#include "app/session.h"
#include "datapipe/qtserialdriver.h"
#include "datapipe/tcpsocketcontrol.h"
#include "windows/form1.h"
#include "windows/qtfiledialog.h"

int main(int argc, char *argv[])
{
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
    // quillon FILE.qbench, as the desktop passes a bench file that is opened.
    if (const QStringList arguments = QApplication::arguments(); arguments.size() > 1)
        form.OpenBench(arguments.at(1));

    // The session ending is one more close request; a refused exit cancels it.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager &manager) {
        if (!form.close())
            manager.cancel();
    });
    return app.exec();
}
