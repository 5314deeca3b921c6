#pragma once
#include <QListWidget>
#include <QStringList>
#include <memory>

#include "app/form1.h"
#include "app/mainstartup.h"
#include "fakefiledialog.h"
#include "fakeserialdriver.h"
#include "fakesocketcontrol.h"

// The real main window, started as the program starts it, over the given serial
// driver and socket and a file dialog answered in advance.
template <typename Driver, typename Socket> struct WindowOver {
    Driver driver;
    Socket socket;
    FakeFileDialog files;
    std::unique_ptr<Form1> form{MainStartUp::Main(driver, socket, files)};

    Form1 *operator->() const { return form.get(); }

    static QStringList Rows(const QListWidget *list)
    {
        QStringList rows;
        for (int i = 0; i < list->count(); ++i)
            rows.append(list->item(i)->text());
        return rows;
    }
    QStringList Traffic() const { return Rows(form->List1); }
    QStringList Debug() const { return Rows(form->List2); }
};

// Over a fake serial driver and a fake socket.
using TestWindow = WindowOver<FakeSerialDriver, FakeSocketControl>;
