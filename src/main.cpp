#include <QApplication>
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
