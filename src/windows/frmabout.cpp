#include "windows/frmabout.h"
#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>
#include <QVersionNumber>

namespace {
// System information programs, most informative first; msinfo32 on Windows.
const QStringList SysInfoCandidates{"hardinfo", "hardinfo2", "kinfocenter", "gnome-system-monitor",
                                    "mate-system-monitor", "xfce4-taskmanager", "msinfo32"};

QFrame *SeparatorLine(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setObjectName("Line1");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel *Label(const char *name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}
}

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName("frmAbout");
    setAttribute(Qt::WA_DeleteOnClose);

    auto *picIcon = new QLabel(this);
    picIcon->setObjectName("picIcon");
    picIcon->setAccessibleName("Icon");
    const QIcon icon = QApplication::windowIcon(); // Quillon's own, when the program set it
    picIcon->setPixmap((icon.isNull() ? style()->standardIcon(QStyle::SP_MessageBoxInformation) : icon).pixmap(48, 48));
    lblTitle = Label("lblTitle", QString(), this);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = Label("lblVersion", QString(), this);
    QLabel *lblDescription = Label(
        "lblDescription",
        "This terminal is designed for use with automotive network interface units at the test bench.", this);
    // The project's own contacts: it has no telephone, mail address or web site.
    QLabel *lblDisclaimer = Label("lblDisclaimer",
                                  "Quillon developers\n"
                                  "Guide: the README, and \"man quillon\"\n"
                                  "Questions and bug reports: the project's issue tracker",
                                  this);
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setAccessibleName("OK");
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton("&System Info...", this);
    cmdSysInfo->setObjectName("cmdSysInfo");
    cmdSysInfo->setAccessibleName("System Info...");

    auto *text = new QVBoxLayout;
    text->addWidget(lblTitle);
    text->addWidget(lblVersion);
    text->addWidget(lblDescription);
    auto *top = new QHBoxLayout;
    top->addWidget(picIcon, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblDisclaimer, 1);
    bottom->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(SeparatorLine(this));
    layout->addLayout(bottom);
    layout->addWidget(SeparatorLine(this));

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    Form_Load();
}

void frmAbout::Form_Load()
{
    const QString title = QCoreApplication::applicationName();
    setWindowTitle("About " + title);
    lblTitle->setText(title);
    // Major, minor and revision, in decimal without leading zeros.
    const QVersionNumber version = QVersionNumber::fromString(QCoreApplication::applicationVersion());
    lblVersion->setText(QString("Version %1.%2.%3").arg(version.majorVersion()).arg(version.minorVersion()).arg(version.microVersion()));
}

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

QString frmAbout::FindSysInfoProgram(const QStringList &candidates, const QStringList &searchPaths)
{
    if (searchPaths.isEmpty())
        return QString(); // findExecutable would fall back to the whole PATH
    for (const QString &name : candidates) {
        const QString program = QStandardPaths::findExecutable(name, searchPaths);
        if (!program.isEmpty())
            return program;
    }
    return QString();
}

void frmAbout::StartSysInfo()
{
    const QStringList path = qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    const QString program = FindSysInfoProgram(SysInfoCandidates, path);
    if (!program.isEmpty() && QProcess::startDetached(program, {}))
        return;
    auto *box = new QMessageBox(QMessageBox::Information, windowTitle(),
                                "System Information Is Unavailable At This Time", QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

frmAbout *ShowAboutBox(frmAbout *loaded)
{
    frmAbout *box = loaded ? loaded : new frmAbout;
    box->show();
    box->raise();
    box->activateWindow();
    return box;
}
