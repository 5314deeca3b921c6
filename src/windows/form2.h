#pragma once
#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

class PortTable;
struct Bench;

// "COM Port Parameters": the user picks the transport, port, speed, address and
// port number here. Each option reports its choice at once; "Initialize" asks for
// the chosen link. Made once at start-up and only hidden.
class Form2 : public QDialog {
    Q_OBJECT
public:
    Form2(QWidget *parent, PortTable *ports);

    // Selects the three options from code, reporting them as a click does.
    void SelectOptions(int comPort, int comSpeed, int dataPipe);
    void SetAddress(const QString &address, qint32 port);
    // The link's settings as a bench file holds them.
    void ShowLink(const Bench &bench);
    void TakeLink(Bench &bench) const;

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

signals:
    void DataPipeSelected(qint16 dataPipe);
    void ComPortSelected(int comPort);
    void ComSpeedSelected(qint16 comSpeed);
    void InitializeSerial();
    void InitializeEthernet(const QString &address, qint32 port);
    void DebugLine(const QString &line);

protected:
    void reject() override; // Esc presses "Cancel"
    void showEvent(QShowEvent *event) override;

private:
    QButtonGroup *Options(QRadioButton *const *buttons, int count);
    void ShowDevices();

    PortTable *Ports;
    qint16 DataPipe = 1;
    QString Typed[9]; // a device typed for each COM number (or set by a bench file) that the table holds
};
