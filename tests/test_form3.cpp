#include "protocol/form3.h"
#include "protocol/keybyte.h"
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestForm3 : public QObject
{
    Q_OBJECT

    Form3 form;
    QLineEdit *box = form.findChild<QLineEdit *>("KeyByteText");
    QPushButton *cancel = form.findChild<QPushButton *>("CancelButton");
    QPushButton *update = form.findChild<QPushButton *>("UpdateButton");

    // Opens the dialog on key 00 and types over the selected digits.
    void ShowAndType(const QString &text)
    {
        form.ShowKey("00");
        QVERIFY(form.isVisible() && !form.isModal());
        QCOMPARE(box->selectedText(), "00");
        QTest::keyClicks(box, text);
    }

private slots:
    void keyTextIsTwoUpperCaseDigits()
    {
        QCOMPARE(KeyText(0x0A), "0A");
        QCOMPARE(KeyText(0xBC), "BC");
    }

    void controlsAreNamedForScreenReadersInTabOrder()
    {
        QCOMPARE(form.windowTitle(), "Set Encryption Key Byte");
        QCOMPARE(box->accessibleName(), "Key byte");
        QCOMPARE(box->nextInFocusChain(), cancel);
        QCOMPARE(cancel->nextInFocusChain(), update);
    }

    void updateHandsOverTheTypedTextThenHidesWithTheNewKeySelected()
    {
        QSignalSpy spy(&form, &Form3::UpdateRequested);
        // The main window rewrites the box while handling the signal, as UpdateKeyByte does.
        connect(&form, &Form3::UpdateRequested, &spy, [this] { form.SetKeyText("3C"); });
        ShowAndType(" 3c5");
        QTest::mouseClick(update, Qt::LeftButton);
        QCOMPARE(spy, QList<QVariantList>{{" 3c5"}});
        QVERIFY(!form.isVisible());
        QCOMPARE(box->selectedText(), "3C");
    }

    void cancelHidesAndKeepsTheTypedTextUntilTheNextOpening()
    {
        QSignalSpy spy(&form, &Form3::UpdateRequested);
        ShowAndType("7F");
        QTest::mouseClick(cancel, Qt::LeftButton);
        QCOMPARE(spy.count(), 0);
        QVERIFY(!form.isVisible());
        QCOMPARE(box->text(), "7F");
        ShowAndType("");
        QCOMPARE(box->text(), "00");
    }
};

QTEST_MAIN(TestForm3)
#include "test_form3.moc"
