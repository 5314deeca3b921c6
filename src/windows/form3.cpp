#include "windows/form3.h"
#include "windows/twips.h"
#include <QFontDatabase>
#include <QLineEdit>
#include <QPushButton>

Form3::Form3(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Set Encryption Key Byte"));
    setModal(false);
    setFixedSize(TwipsRect(0, 0, 3495, 1095).size());

    KeyByteText = new QLineEdit(QStringLiteral("Text1"), this);
    KeyByteText->setObjectName(QStringLiteral("KeyByteText"));
    KeyByteText->setAccessibleName(QStringLiteral("Key byte"));
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(9.75);
    KeyByteText->setFont(font);
    KeyByteText->setGeometry(TwipsRect(1320, 120, 975, 405));

    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    CancelButton->setGeometry(TwipsRect(2280, 600, 1095, 375));

    UpdateButton = new QPushButton(QStringLiteral("Update"), this);
    UpdateButton->setObjectName(QStringLiteral("UpdateButton"));
    // Enter in the key box presses Update; Esc presses Cancel.
    UpdateButton->setDefault(true);
    UpdateButton->setGeometry(TwipsRect(120, 600, 1095, 375));

    setTabOrder(KeyByteText, CancelButton);
    setTabOrder(CancelButton, UpdateButton);

    connect(UpdateButton, &QPushButton::clicked, this, &Form3::UpdateButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Form3::CancelButton_Click);
}

void Form3::ShowKey(const QString &keyText)
{
    SetKeyText(keyText);
    SelectKey();
    show();
    raise();
    activateWindow();
}

void Form3::SetKeyText(const QString &keyText)
{
    KeyByteText->setText(keyText);
}

void Form3::UpdateButton_Click()
{
    // The key byte is taken, and this box rewritten, before we select and hide.
    emit UpdateRequested(KeyByteText->text());
    SelectKey();
    KeyByteText->setFocus();
    hide();
}

void Form3::CancelButton_Click()
{
    hide();
}

void Form3::reject() { CancelButton_Click(); }

void Form3::SelectKey()
{
    KeyByteText->setSelection(0, 2);
}
