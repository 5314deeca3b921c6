#include "datapipe/form2.h"

#include <QFrame>

#include "app/form1.h"
#include "app/twips.h"
#include "datapipe/serialdriver.h"

namespace {
const QString NonePresent = "none present";

// Room to the right of each COM option for the device it opens.
constexpr int DeviceWidth = 1800;
// Wider speed options, so that "115.2 k" is not clipped.
constexpr int SpeedExtra = 240;

void Rectangle(QWidget *parent, const QRect &where)
{
    auto *box = new QFrame(parent);
    box->setFrameShape(QFrame::Box);
    box->setGeometry(where);
    box->lower();
}
}

Form2::Form2(Form1 &main, PortTable *ports) : QDialog(&main, Qt::Dialog), Main(main), Ports(ports)
{
    setObjectName("Form2");
    setWindowTitle("COM Port Parameters");
    setModal(false);
    setFixedSize(Twips(5625 + DeviceWidth + SpeedExtra), Twips(5730));

    Rectangle(this, TwipsRect(240, 120, 5160 + DeviceWidth + SpeedExtra, 3480));
    Rectangle(this, TwipsRect(240, 3720, 5160 + DeviceWidth + SpeedExtra, 1440));

    DataPipeSelect[1] = Place(new QRadioButton("Serial COM Port"), this, "DataPipeSelect1",
                              TwipsRect(480, 1920, 1995, 255), "Serial COM Port");
    Frame1 = Place(new QGroupBox("Port"), this, "Frame1", TwipsRect(2520, 240, 1215 + DeviceWidth, 3255), "Port");
    for (int i = 1; i <= 8; ++i) {
        const QString caption = QString("COM%1:").arg(i);
        ComxBtn[i] = Place(new QRadioButton(caption), Frame1, QString("ComxBtn%1").arg(i),
                           TwipsRect(120, 360 * i, 975, 255), caption);
        ComxDevice[i] = Place(new QLineEdit, Frame1, QString("ComxDevice%1").arg(i),
                              TwipsRect(1095, 360 * i - 15, DeviceWidth, 285), QString("COM%1 device").arg(i));
        ComxDevice[i]->setEnabled(Ports != nullptr);
    }
    Frame2 = Place(new QGroupBox("Baud Rate"), this, "Frame2", TwipsRect(4080 + DeviceWidth, 840, 1095 + SpeedExtra, 2175),
                   "Baud Rate");
    const char *speeds[] = {"", "9.6 k", "19.2 k", "38.4 k", "57.6 k", "115.2 k"};
    for (int i = 1; i <= 5; ++i)
        ComBaudBtn[i] = Place(new QRadioButton(speeds[i]), Frame2, QString("ComBaudBtn%1").arg(i),
                              TwipsRect(120, 360 * i, 855 + SpeedExtra, 255), speeds[i]);

    DataPipeSelect[2] = Place(new QRadioButton("Ethernet"), this, "DataPipeSelect2",
                              TwipsRect(480, 3840, 2655, 255), "Ethernet");
    // The two labels are right-aligned against their boxes, on the boxes' rows.
    Place(new QLabel("Address (dot notation):"), this, "Label1", TwipsRect(300, 4200, 2130, 285),
          "Address (dot notation)")->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    IPAddress = Place(new QLineEdit("192.168.1.70"), this, "IPAddress", TwipsRect(2520, 4200, 3015, 285),
                      "Address (dot notation)");
    Place(new QLabel("Port Number:"), this, "Label2", TwipsRect(960, 4680, 1470, 285), "Port Number")
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    PortNumber = Place(new QLineEdit("10001"), this, "PortNumber", TwipsRect(2520, 4680, 3015, 285),
                       "Port Number");
    Initialize = Place(new QPushButton("Initialize"), this, "Initialize", TwipsRect(240, 5280, 1215, 375),
                       "Initialize");
    Cancel1 = Place(new QPushButton("Cancel"), this, "Cancel1",
                    TwipsRect(4200 + DeviceWidth + SpeedExtra, 5280, 1215, 375), "Cancel");
    for (QPushButton *button : {Initialize, Cancel1})
        button->setAutoDefault(false); // Enter presses nothing here

    // Options run their handler whenever they become selected, by a click or from code.
    for (qint16 i = 1; i <= 8; ++i)
        connect(ComxBtn[i], &QRadioButton::toggled, this, [this, i](bool on) { if (on) ComxBtn_Click(i); });
    for (qint16 i = 1; i <= 5; ++i)
        connect(ComBaudBtn[i], &QRadioButton::toggled, this, [this, i](bool on) { if (on) ComBaudBtn_Click(i); });
    for (qint16 i = 1; i <= 2; ++i) {
        connect(DataPipeSelect[i], &QRadioButton::toggled, this,
                [this, i](bool on) { if (on) DataPipeSelect_Click(i); });
    }
    connect(Initialize, &QPushButton::clicked, this, [this] {
        Initialize_Click();
        Main.FlushLog();
    });
    connect(Cancel1, &QPushButton::clicked, this, &Form2::Cancel1_Click);
}

void Form2::SelectOptions(int comPort, int comSpeed, int dataPipe)
{
    ComxBtn[comPort]->setChecked(true);
    ComBaudBtn[comSpeed]->setChecked(true);
    DataPipeSelect[dataPipe]->setChecked(true);
    DataPipeSelect_Click(qint16(dataPipe));
}

void Form2::ComxBtn_Click(qint16 Index) { Main.Pipe.ComPort = Index; }

void Form2::ComBaudBtn_Click(qint16 Index) { Main.ComSpeed = Index; }

void Form2::DataPipeSelect_Click(qint16 Index)
{
    Main.Pipe.DataPipe = Index;
    const bool serial = Index == 1;
    for (int i = 1; i <= 8; ++i) {
        ComxBtn[i]->setEnabled(serial);
        ComxDevice[i]->setEnabled(serial && Ports);
    }
    for (int i = 1; i <= 5; ++i)
        ComBaudBtn[i]->setEnabled(serial);
    IPAddress->setEnabled(!serial);
    PortNumber->setEnabled(!serial);
}

void Form2::Initialize_Click()
{
    switch (Main.Pipe.DataPipe) {
    case 1:
        if (Ports) {
            for (int i = 1; i <= 8; ++i) {
                const QString device = ComxDevice[i]->text().trimmed();
                Ports->SetPortDevice(i, device == NonePresent ? QString() : device);
            }
        }
        Main.InitComPort();
        Main.SendABreak->setEnabled(true);
        break;
    case 2:
        if (!TakePortNumber())
            return; // the dialog stays open for a correction
        Main.IPAddress = IPAddress->text();
        Main.InitWinSock();
        Main.SendABreak->setEnabled(false);
        break;
    default:
        Main.Post("Data pipe not valid.");
    }
    hide();
}

// The port box must hold a whole number from 1 to 65535.
bool Form2::TakePortNumber()
{
    bool ok = false;
    const int port = PortNumber->text().trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        Main.Post("Port number must be a whole number from 1 to 65535.");
        return false;
    }
    Main.PortNumber = port;
    return true;
}

void Form2::Cancel1_Click()
{
    Main.Post("Comms selection cancelled.");
    hide();
}

void Form2::reject() { Cancel1_Click(); }

// Shows the device each COM number opens now; adapters may come and go between showings.
void Form2::showEvent(QShowEvent *event)
{
    if (Ports) {
        for (int i = 1; i <= 8; ++i) {
            const QString device = Ports->PortDevice(i);
            ComxDevice[i]->setText(device.isEmpty() ? NonePresent : device);
        }
    }
    QDialog::showEvent(event);
}
