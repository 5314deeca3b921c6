#include "windows/form2.h"

#include <QFrame>
#include <QLabel>

#include "app/benchfile.h"
#include "datapipe/serialdriver.h"
#include "windows/twips.h"

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

Form2::Form2(QWidget *parent, PortTable *ports) : QDialog(parent, Qt::Dialog), Ports(ports)
{
    setObjectName("Form2");
    setWindowTitle("COM Port Parameters");
    setModal(false);
    setFixedSize(Twips(5625 + DeviceWidth + SpeedExtra), Twips(5730));

    Rectangle(this, TwipsRect(240, 120, 5160 + DeviceWidth + SpeedExtra, 3480));
    Rectangle(this, TwipsRect(240, 3720, 5160 + DeviceWidth + SpeedExtra, 1440));

    DataPipeSelect[1] = Place(new QRadioButton("Serial COM Port"), this, "DataPipeSelect1",
                              TwipsRect(480, 1920, 1995, 255));
    Frame1 = Place(new QGroupBox("Port"), this, "Frame1", TwipsRect(2520, 240, 1215 + DeviceWidth, 3255));
    for (int i = 1; i <= 8; ++i) {
        const QString caption = QString("COM%1:").arg(i);
        ComxBtn[i] = Place(new QRadioButton(caption), Frame1, QString("ComxBtn%1").arg(i),
                           TwipsRect(120, 360 * i, 975, 255));
        ComxDevice[i] = Place(new QLineEdit, Frame1, QString("ComxDevice%1").arg(i),
                              TwipsRect(1095, 360 * i - 15, DeviceWidth, 285), QString("COM%1 device").arg(i));
        ComxDevice[i]->setEnabled(Ports != nullptr);
        connect(ComxDevice[i], &QLineEdit::textEdited, this, [this, i](const QString &text) { Typed[i] = text.trimmed(); });
    }
    Frame2 = Place(new QGroupBox("Baud Rate"), this, "Frame2", TwipsRect(4080 + DeviceWidth, 840, 1095 + SpeedExtra, 2175));
    const char *speeds[] = {"", "9.6 k", "19.2 k", "38.4 k", "57.6 k", "115.2 k"};
    for (int i = 1; i <= 5; ++i)
        ComBaudBtn[i] = Place(new QRadioButton(speeds[i]), Frame2, QString("ComBaudBtn%1").arg(i),
                              TwipsRect(120, 360 * i, 855 + SpeedExtra, 255));

    DataPipeSelect[2] = Place(new QRadioButton("Ethernet"), this, "DataPipeSelect2",
                              TwipsRect(480, 3840, 2655, 255));
    // The two labels are right-aligned against their boxes, on the boxes' rows.
    Place(new QLabel("Address (dot notation):"), this, "Label1", TwipsRect(300, 4200, 2130, 285))
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    IPAddress = Place(new QLineEdit("192.168.1.70"), this, "IPAddress", TwipsRect(2520, 4200, 3015, 285),
                      "Address (dot notation)");
    Place(new QLabel("Port Number:"), this, "Label2", TwipsRect(960, 4680, 1470, 285))
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    PortNumber = Place(new QLineEdit("10001"), this, "PortNumber", TwipsRect(2520, 4680, 3015, 285),
                       "Port Number");
    Initialize = Place(new QPushButton("Initialize"), this, "Initialize", TwipsRect(240, 5280, 1215, 375));
    Cancel1 = Place(new QPushButton("Cancel"), this, "Cancel1",
                    TwipsRect(4200 + DeviceWidth + SpeedExtra, 5280, 1215, 375));
    for (QPushButton *button : {Initialize, Cancel1})
        button->setAutoDefault(false); // Enter presses nothing here

    // Each set of options is exclusive on its own group: by their parent alone, the
    // transport options and those inside the two frames would be taken for one set.
    auto *comPorts = Options(&ComxBtn[1], 8);
    auto *speedsGroup = Options(&ComBaudBtn[1], 5);
    auto *pipes = Options(&DataPipeSelect[1], 2);
    connect(comPorts, &QButtonGroup::idToggled, this, [this](int id, bool on) { if (on) ComxBtn_Click(qint16(id)); });
    connect(speedsGroup, &QButtonGroup::idToggled, this,
            [this](int id, bool on) { if (on) ComBaudBtn_Click(qint16(id)); });
    connect(pipes, &QButtonGroup::idToggled, this,
            [this](int id, bool on) { if (on) DataPipeSelect_Click(qint16(id)); });
    connect(Initialize, &QPushButton::clicked, this, &Form2::Initialize_Click);
    connect(Cancel1, &QPushButton::clicked, this, &Form2::Cancel1_Click);
}

// Ids are the options' indexes, from 1. The buttons stay auto-exclusive: a grouped
// button takes its exclusivity from the group, and screen readers hear a checkable
// button that is not auto-exclusive as a check box.
QButtonGroup *Form2::Options(QRadioButton *const *buttons, int count)
{
    auto *group = new QButtonGroup(this);
    for (int i = 0; i < count; ++i)
        group->addButton(buttons[i], i + 1);
    return group;
}

void Form2::SelectOptions(int comPort, int comSpeed, int dataPipe)
{
    ComxBtn[comPort]->setChecked(true);
    ComBaudBtn[comSpeed]->setChecked(true);
    DataPipeSelect[dataPipe]->setChecked(true);
    DataPipeSelect_Click(qint16(dataPipe));
}

void Form2::SetAddress(const QString &address, qint32 port)
{
    IPAddress->setText(address);
    PortNumber->setText(QString::number(port));
}

void Form2::ShowLink(const Bench &bench)
{
    SelectOptions(bench.com, int(LineSpeeds().indexOf(bench.speed)) + 1, bench.transport == "ethernet" ? 2 : 1);
    SetAddress(bench.address, bench.port);
    Typed[bench.com] = bench.device;
    if (Ports) {
        Ports->SetPortDevice(bench.com, bench.device);
        ShowDevices();
    }
}

void Form2::TakeLink(Bench &bench) const
{
    const auto selected = [](QRadioButton *const *options, int count) {
        return int(std::find_if(options + 1, options + count + 1, [](QRadioButton *o) { return o->isChecked(); }) - options);
    };
    bench.transport = DataPipe == 2 ? "ethernet" : "serial";
    bench.address = IPAddress->text();
    bench.port = PortNumber->text().trimmed().toInt(); // 0, refused, when it holds no number
    bench.com = selected(ComxBtn, 8);
    bench.device = Typed[bench.com];
    bench.speed = LineSpeeds().value(selected(ComBaudBtn, 5) - 1);
}

void Form2::ComxBtn_Click(qint16 Index) { emit ComPortSelected(Index); }

void Form2::ComBaudBtn_Click(qint16 Index) { emit ComSpeedSelected(Index); }

void Form2::DataPipeSelect_Click(qint16 Index)
{
    DataPipe = Index;
    emit DataPipeSelected(Index);
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
    switch (DataPipe) {
    case 1:
        if (Ports) {
            for (int i = 1; i <= 8; ++i) {
                const QString device = ComxDevice[i]->text().trimmed();
                Ports->SetPortDevice(i, device == NonePresent ? QString() : device);
            }
        }
        emit InitializeSerial();
        break;
    case 2: {
        // The port box must hold a whole number from 1 to 65535; else the dialog stays open.
        bool ok = false;
        const int port = PortNumber->text().trimmed().toInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            emit DebugLine("Port number must be a whole number from 1 to 65535.");
            return;
        }
        emit InitializeEthernet(IPAddress->text(), port);
        break;
    }
    default:
        emit DebugLine("Data pipe not valid.");
    }
    hide();
}

void Form2::Cancel1_Click()
{
    emit DebugLine("Comms selection cancelled.");
    hide();
}

void Form2::reject() { Cancel1_Click(); }

// Shows the device each COM number opens now; adapters may come and go between showings.
void Form2::showEvent(QShowEvent *event)
{
    ShowDevices();
    QDialog::showEvent(event);
}

void Form2::ShowDevices()
{
    if (!Ports)
        return;
    for (int i = 1; i <= 8; ++i) {
        const QString device = Ports->PortDevice(i);
        ComxDevice[i]->setText(device.isEmpty() ? NonePresent : device);
        if (device != Typed[i]) // typed, then cancelled: the table never took it
            Typed[i].clear();
    }
}
