#pragma once
#include <QDialog>
#include <QList>

#include "protocol/answerrules.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// "Bench" > "Answers…": the answer rules, a row each, tried top to bottom. Each edit
// reports the whole list; beside each rule stands what the session says of it. The
// buttons act on the rule that holds, or last held, the keyboard focus.
class AnswersWindow : public QDialog {
    Q_OBJECT
public:
    explicit AnswersWindow(QWidget *parent);

    QList<AnswerRule> Rules() const;
    // Shows the rules and reports them, as a bench file sets them.
    void SetRules(const QList<AnswerRule> &rules);
    // For each rule, why it never answers, or an empty text.
    void ShowProblems(const QStringList &problems);

    QPushButton *AddAnswer, *RemoveAnswer, *MoveAnswerUp, *MoveAnswerDown;

signals:
    void RulesChanged(const QList<AnswerRule> &rules);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Row {
        QCheckBox *on;
        QLineEdit *when, *reply;
        QSpinBox *delay;
        QLabel *status;
        QList<QWidget *> Cells() const;
    };
    void AddRow();
    void Show(const QList<AnswerRule> &rules, int row, int column);
    void Move(int by);
    void Remove();
    void Changed();
    void Focus(int row, int column);

    QGridLayout *Grid;
    QList<Row> Rows;
    int Current = -1, CurrentColumn = 1; // where the focus is or was last
    bool Showing = false;
};
