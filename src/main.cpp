#include <QApplication>
#include <QIcon>
#include <QSessionManager>
#include <memory>

#include "app/form1.h"
#include "app/mainstartup.h"
#include "app/qtfiledialog.h"
#include "datapipe/qtserialdriver.h"
#include "datapipe/tcpsocketcontrol.h"

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
    std::unique_ptr<Form1> form(MainStartUp::Main(driver, socket, files));

    // The session ending is one more close request; a refused exit cancels it.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, form.get(),
                     [&form](QSessionManager &manager) {
                         if (!form->close())
                             manager.cancel();
                     });
    return app.exec();
}
