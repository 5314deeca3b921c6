#include "windows/answerswindow.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>

namespace {
const char *const Columns[] = {"On", "When", "Reply", "Delay (ms)", "Status"};

QPushButton *Button(const QString &caption, const QString &name, QBoxLayout *row)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(name);
    button->setAutoDefault(false); // Enter in a box presses nothing
    row->addWidget(button);
    return button;
}
}

QList<QWidget *> AnswersWindow::Row::Cells() const { return {on, when, reply, delay}; }

AnswersWindow::AnswersWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName("AnswersWindow");
    setWindowTitle("Answers");
    setModal(false);
    resize(760, 300);

    auto *table = new QWidget;
    auto *tableLayout = new QVBoxLayout(table);
    Grid = new QGridLayout;
    tableLayout->addLayout(Grid);
    tableLayout->addStretch(); // the rows stay at the top
    for (int column = 0; column < 5; ++column)
        Grid->addWidget(new QLabel(Columns[column]), 0, column);
    Grid->setColumnStretch(1, 2);
    Grid->setColumnStretch(2, 2);
    Grid->setColumnStretch(4, 3);
    auto *scroll = new QScrollArea;
    scroll->setWidget(table);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);

    auto *buttons = new QHBoxLayout;
    AddAnswer = Button("Add", "AddAnswer", buttons);
    RemoveAnswer = Button("Remove", "RemoveAnswer", buttons);
    MoveAnswerUp = Button("Move Up", "MoveAnswerUp", buttons);
    MoveAnswerDown = Button("Move Down", "MoveAnswerDown", buttons);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    layout->addLayout(buttons);

    connect(AddAnswer, &QPushButton::clicked, this, [this] { Show(Rules() << AnswerRule(), int(Rows.size()), 1); });
    connect(RemoveAnswer, &QPushButton::clicked, this, &AnswersWindow::Remove);
    connect(MoveAnswerUp, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(MoveAnswerDown, &QPushButton::clicked, this, [this] { Move(1); });
    Show({}, -1, 1);
}

void AnswersWindow::AddRow()
{
    const int row = int(Rows.size()) + 1;
    const QString rule = QString("Rule %1 ").arg(row);
    Row cells{new QCheckBox, new QLineEdit, new QLineEdit, new QSpinBox, new QLabel};
    cells.on->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed); // a click beside the box does nothing
    cells.delay->setRange(0, AnswerRule::MaxDelayMs);
    cells.status->setWordWrap(true);
    const QList<QWidget *> widgets = cells.Cells() << cells.status;
    for (int column = 0; column < 5; ++column) {
        widgets[column]->setObjectName(QString("Answer%1%2").arg(QString(Columns[column]).section(' ', 0, 0)).arg(row));
        if (column < 4) // the status is read as it is shown
            widgets[column]->setAccessibleName(rule + Columns[column]);
        widgets[column]->installEventFilter(this); // to know the rule in hand
        Grid->addWidget(widgets[column], row, column);
        widgets[column]->show(); // at once, not when the loop next runs
    }
    connect(cells.on, &QCheckBox::toggled, this, &AnswersWindow::Changed);
    connect(cells.when, &QLineEdit::textChanged, this, &AnswersWindow::Changed);
    connect(cells.reply, &QLineEdit::textChanged, this, &AnswersWindow::Changed);
    connect(cells.delay, &QSpinBox::valueChanged, this, &AnswersWindow::Changed);
    Rows << cells;
}

QList<AnswerRule> AnswersWindow::Rules() const
{
    QList<AnswerRule> rules;
    for (const Row &row : Rows)
        rules.append({row.on->isChecked(), row.when->text(), row.reply->text(), row.delay->value()});
    return rules;
}

void AnswersWindow::SetRules(const QList<AnswerRule> &rules) { Show(rules, -1, 1); }

// One row a rule, the focus on the given cell (none for row -1), and the list reported.
void AnswersWindow::Show(const QList<AnswerRule> &rules, int row, int column)
{
    Showing = true;
    while (Rows.size() > rules.size()) {
        const Row last = Rows.takeLast();
        qDeleteAll(last.Cells() << last.status);
    }
    while (Rows.size() < rules.size())
        AddRow();
    for (qsizetype i = 0; i < rules.size(); ++i) {
        Rows[i].on->setChecked(rules[i].on);
        Rows[i].when->setText(rules[i].when);
        Rows[i].reply->setText(rules[i].reply);
        Rows[i].delay->setValue(rules[i].delayMs);
    }
    Showing = false; // a row made is last in the focus chain: Tab goes round the rows and the buttons
    if (row >= 0)
        Rows[row].Cells()[column]->setFocus();
    Focus(row, column);
    emit RulesChanged(rules);
}

void AnswersWindow::Move(int by)
{
    QList<AnswerRule> rules = Rules();
    rules.move(Current, Current + by);
    Show(rules, Current + by, CurrentColumn);
}

void AnswersWindow::Remove()
{
    QList<AnswerRule> rules = Rules();
    rules.removeAt(Current);
    Show(rules, qMin(Current, int(rules.size()) - 1), CurrentColumn);
}

void AnswersWindow::Changed()
{
    if (!Showing)
        emit RulesChanged(Rules());
}

void AnswersWindow::ShowProblems(const QStringList &problems)
{
    for (qsizetype i = 0; i < Rows.size() && i < problems.size(); ++i) {
        const bool on = Rows[i].on->isChecked();
        Rows[i].status->setText(problems[i].isEmpty() ? (on ? "Active" : "Off") : "Not active: " + problems[i]);
    }
}

bool AnswersWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        for (qsizetype row = 0; row < Rows.size(); ++row) {
            if (const qsizetype column = Rows[row].Cells().indexOf(watched); column >= 0)
                Focus(int(row), int(column));
        }
    }
    return false;
}

void AnswersWindow::Focus(int row, int column)
{
    Current = row;
    CurrentColumn = column;
    RemoveAnswer->setEnabled(Current >= 0);
    MoveAnswerUp->setEnabled(Current > 0);
    MoveAnswerDown->setEnabled(Current >= 0 && Current + 1 < Rows.size());
}
