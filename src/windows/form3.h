#pragma once
#include <QDialog>

class QLineEdit;
class QPushButton;

// "Set Encryption Key Byte": a modeless dialog that is only ever hidden, so it keeps its text.
// The session owns the key byte; the dialog just hands over what the user typed.
class Form3 : public QDialog
{
    Q_OBJECT

public:
    explicit Form3(QWidget *parent = nullptr);

    void ShowKey(const QString &keyText);
    void SetKeyText(const QString &keyText);

protected:
    void reject() override;

signals:
    void UpdateRequested(const QString &typedText);

private:
    void UpdateButton_Click();
    void CancelButton_Click();
    void SelectKey();

    QLineEdit *KeyByteText;
    QPushButton *CancelButton;
    QPushButton *UpdateButton;
};
