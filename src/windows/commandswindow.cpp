#include "windows/commandswindow.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QPushButton *Button(const QString &caption, const QString &name, QBoxLayout *column)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(name);
    button->setAutoDefault(false); // Enter on the list sends; it presses no button
    column->addWidget(button);
    return button;
}

QLineEdit *Box(const QString &name, const QString &label, QFormLayout *form)
{
    auto *box = new QLineEdit;
    box->setObjectName(name);
    box->setAccessibleName(label);
    form->addRow(label + ":", box);
    return box;
}
}

CommandsWindow::CommandsWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName("CommandsWindow");
    setWindowTitle("Commands");
    setModal(false);
    resize(560, 320);

    CommandList = new QTableWidget(0, 2);
    CommandList->setObjectName("CommandList");
    CommandList->setAccessibleName("Saved commands");
    CommandList->setHorizontalHeaderLabels({"Name", "Command"});
    CommandList->horizontalHeader()->setStretchLastSection(true);
    CommandList->verticalHeader()->hide();
    CommandList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CommandList->setSelectionBehavior(QAbstractItemView::SelectRows);
    CommandList->setSelectionMode(QAbstractItemView::SingleSelection);
    CommandList->setTabKeyNavigation(false); // Tab goes on to the buttons
    CommandList->installEventFilter(this);

    auto *buttons = new QVBoxLayout;
    AddCommand = Button("Add", "AddCommand", buttons);
    EditCommand = Button("Edit", "EditCommand", buttons);
    RemoveCommand = Button("Remove", "RemoveCommand", buttons);
    MoveCommandUp = Button("Move Up", "MoveCommandUp", buttons);
    MoveCommandDown = Button("Move Down", "MoveCommandDown", buttons);
    buttons->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(CommandList);
    layout->addLayout(buttons);

    Editor = new QDialog(this);
    Editor->setObjectName("CommandEditor");
    Editor->setWindowTitle("Saved Command");
    auto *form = new QFormLayout(Editor);
    CommandName = Box("CommandName", "Name", form);
    CommandBytes = Box("CommandBytes", "Command", form);
    auto *ok = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    form->addRow(ok);
    connect(ok, &QDialogButtonBox::accepted, Editor, &QDialog::accept);
    connect(ok, &QDialogButtonBox::rejected, Editor, &QDialog::reject);
    connect(Editor, &QDialog::accepted, this, &CommandsWindow::FinishEdit);

    connect(AddCommand, &QPushButton::clicked, this, [this] { StartEdit(-1); });
    connect(EditCommand, &QPushButton::clicked, this, [this] { StartEdit(Selected()); });
    connect(RemoveCommand, &QPushButton::clicked, this, [this] {
        const int row = Selected();
        Saved.removeAt(row);
        Show(row);
    });
    connect(MoveCommandUp, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(MoveCommandDown, &QPushButton::clicked, this, [this] { Move(1); });
    connect(CommandList, &QTableWidget::itemSelectionChanged, this, &CommandsWindow::EnableButtons);
    connect(CommandList, &QTableWidget::cellDoubleClicked, this, &CommandsWindow::SendSelected);
    Show(0);
}

void CommandsWindow::SetCommands(const QList<SavedCommand> &commands)
{
    Saved = commands;
    Show(0);
}

void CommandsWindow::Show(int select)
{
    CommandList->setRowCount(int(Saved.size()));
    for (int row = 0; row < Saved.size(); ++row) {
        CommandList->setItem(row, 0, new QTableWidgetItem(Saved[row].name));
        CommandList->setItem(row, 1, new QTableWidgetItem(Saved[row].command));
    }
    // One is always selected, so that Enter on the list sends it.
    if (!Saved.isEmpty())
        CommandList->selectRow(qBound(0, select, int(Saved.size()) - 1));
    EnableButtons();
}

int CommandsWindow::Selected() const
{
    const QList<QTableWidgetSelectionRange> ranges = CommandList->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void CommandsWindow::EnableButtons()
{
    const int row = Selected();
    EditCommand->setEnabled(row >= 0);
    RemoveCommand->setEnabled(row >= 0);
    MoveCommandUp->setEnabled(row > 0);
    MoveCommandDown->setEnabled(row >= 0 && row + 1 < Saved.size());
}

void CommandsWindow::StartEdit(int row)
{
    EditRow = row;
    const SavedCommand command = row >= 0 ? Saved[row] : SavedCommand();
    CommandName->setText(command.name);
    CommandBytes->setText(command.command);
    CommandName->setFocus();
    Editor->open();
}

void CommandsWindow::FinishEdit()
{
    const SavedCommand command{CommandName->text(), CommandBytes->text()};
    if (EditRow < 0)
        Saved.append(command);
    else
        Saved[EditRow] = command;
    Show(EditRow < 0 ? int(Saved.size()) - 1 : EditRow);
    CommandList->setFocus();
}

void CommandsWindow::Move(int by)
{
    const int row = Selected();
    Saved.move(row, row + by);
    Show(row + by);
}

void CommandsWindow::SendSelected()
{
    if (const int row = Selected(); row >= 0)
        emit SendRequested(Saved[row].command);
}

// Enter on the list sends the selected command; the list would only report it activated.
bool CommandsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != CommandList || event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    SendSelected();
    return true;
}
