#pragma once
#include <QDialog>
#include <QList>

#include "app/benchfile.h"

class QLineEdit;
class QPushButton;
class QTableWidget;

// "Bench" > "Commands…": commands kept under a name. Double-click or Enter on one
// asks for it to be sent; Add and Edit open a small editor beside the list.
class CommandsWindow : public QDialog {
    Q_OBJECT
public:
    explicit CommandsWindow(QWidget *parent);

    QList<SavedCommand> Commands() const { return Saved; }
    void SetCommands(const QList<SavedCommand> &commands);

    QTableWidget *CommandList;
    QPushButton *AddCommand, *EditCommand, *RemoveCommand, *MoveCommandUp, *MoveCommandDown;
    QDialog *Editor; // "Saved Command": a name and the command
    QLineEdit *CommandName, *CommandBytes;

signals:
    void SendRequested(const QString &command);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Show(int select); // the row selected, kept within the list
    void StartEdit(int row); // -1 adds a command
    void FinishEdit();
    void Move(int by);
    void SendSelected();
    void EnableButtons();
    int Selected() const;

    QList<SavedCommand> Saved;
    int EditRow = -1;
};
