#pragma once
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "datapipe/form2.h"
#include "datapipe/qtserialdriver.h"
#include "datapipe/tcpsocketcontrol.h"
#include "protocol/form3.h"
#include "testwindow.h"

// Types over whatever the box holds, as a user selecting it all and typing does.
inline void Type(QLineEdit *box, const QString &text)
{
    box->selectAll();
    QTest::keyClicks(box, text);
}

// The program as main() starts it, over the real serial driver and socket, driven
// through its dialogs as a user does.
struct RealWindow : WindowOver<QtSerialDriver, TcpSocketControl> {
    Form2 *Configure()
    {
        form->ConfigComPort->click();
        return form->ConfigDialog();
    }
    // False when a box did not take the loopback address.
    bool OpenEthernet(quint16 port)
    {
        Form2 *dialog = Configure();
        dialog->DataPipeSelect[2]->click();
        Type(dialog->IPAddress, "127.0.0.1");
        Type(dialog->PortNumber, QString::number(port));
        // Never let a test reach for the default address on the real network.
        if (dialog->IPAddress->text() != "127.0.0.1")
            return false;
        dialog->Initialize->click();
        return true;
    }
    // False when the box did not take the pseudo-terminal: COM1 may be a real port.
    bool OpenSerial(const QString &device)
    {
        Form2 *dialog = Configure();
        dialog->DataPipeSelect[1]->click();
        dialog->ComxBtn[1]->click();
        dialog->ComBaudBtn[5]->click(); // 115.2 kbaud
        Type(dialog->ComxDevice[1], device);
        if (dialog->ComxDevice[1]->text() != device)
            return false;
        dialog->Initialize->click();
        return true;
    }
    void SetKey(const QString &key)
    {
        form->SetKeyByte->click();
        Form3 *dialog = form->KeyDialog();
        Type(dialog->findChild<QLineEdit *>("KeyByteText"), key);
        dialog->findChild<QPushButton *>("UpdateButton")->click();
    }
    void Send(const QString &command)
    {
        Type(form->Text5, command);
        form->SendCommand->click();
    }
    // Opens the log through its button; false when it did not open.
    bool OpenLog(const QString &path)
    {
        files.Answers << path;
        form->SelectLogFile->click();
        return form->Log.LogActive;
    }
};
