#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// The About box: title, version, the maker's contact lines and a launcher for
// the platform's system information program. Modeless, without an owner; OK
// closes and deletes it.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    // The first of candidates found as an executable in one of searchPaths, or "".
    static QString FindSysInfoProgram(const QStringList &candidates, const QStringList &searchPaths);
    // Starts the system information program found on the PATH; with none, or when
    // it does not start, shows "System Information Is Unavailable At This Time".
    void StartSysInfo();

private:
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    QLabel *lblTitle;
    QLabel *lblVersion;
    QPushButton *cmdOK;
    QPushButton *cmdSysInfo;
};

// Shows the loaded About box again, or loads a new one when loaded is null.
frmAbout *ShowAboutBox(frmAbout *loaded);
