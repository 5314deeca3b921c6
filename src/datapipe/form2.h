#pragma once
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

class Form1;
class PortTable;

// "COM Port Parameters": the user picks the transport, port, speed, address and
// port number here. The option buttons write the main window's settings at once;
// "Initialize" opens the chosen link. Made once at start-up and only hidden.
class Form2 : public QDialog {
    Q_OBJECT
public:
    Form2(Form1 &main, PortTable *ports);

    // Selects the three options from code, running their handlers as a click does.
    void SelectOptions(int comPort, int comSpeed, int dataPipe);

    void ComxBtn_Click(qint16 Index);
    void ComBaudBtn_Click(qint16 Index);
    void DataPipeSelect_Click(qint16 Index);
    void Initialize_Click();
    void Cancel1_Click();

    // Indexed groups keep their indexes: element 0 is unused.
    QRadioButton *DataPipeSelect[3] = {};
    QGroupBox *Frame1, *Frame2;
    QRadioButton *ComxBtn[9] = {};
    QLineEdit *ComxDevice[9] = {}; // the device each COM number opens
    QRadioButton *ComBaudBtn[6] = {};
    QLineEdit *IPAddress, *PortNumber;
    QPushButton *Initialize, *Cancel1;

protected:
    void reject() override; // Esc presses "Cancel"
    void showEvent(QShowEvent *event) override;

private:
    bool TakePortNumber();

    Form1 &Main;
    PortTable *Ports;
};
