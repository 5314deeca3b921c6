#include "app/twips.h"
#include "protocol/form3.h"
#include "protocol/keybyte.h"
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestForm3 : public QObject
{
    Q_OBJECT

    Form3 *form = nullptr;
    QLineEdit *box = nullptr;
    QPushButton *cancel = nullptr;
    QPushButton *update = nullptr;

    void Type(const QString &text)
    {
        box->selectAll();
        QTest::keyClicks(box, text);
    }

private slots:
    void init()
    {
        form = new Form3;
        box = form->findChild<QLineEdit *>("KeyByteText");
        cancel = form->findChild<QPushButton *>("CancelButton");
        update = form->findChild<QPushButton *>("UpdateButton");
        QVERIFY(box && cancel && update);
    }

    void cleanup() { delete form; }

    void keyTextIsTwoUpperCaseDigits_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0 << "00";
        QTest::newRow("leading zero") << 0x0A << "0A";
        QTest::newRow("upper case") << 0xBC << "BC";
        QTest::newRow("largest") << 0xFF << "FF";
    }

    void keyTextIsTwoUpperCaseDigits()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QCOMPARE(KeyText(key), text);
    }

    void dialogIsLaidOutAsDesigned()
    {
        QCOMPARE(form->objectName(), QString("Form3"));
        QCOMPARE(form->windowTitle(), QString("Set Encryption Key Byte"));
        QVERIFY(!form->isModal());
        QCOMPARE(box->geometry(), TwipsRect(1320, 120, 975, 405));
        QCOMPARE(cancel->geometry(), TwipsRect(2280, 600, 1095, 375));
        QCOMPARE(update->geometry(), TwipsRect(120, 600, 1095, 375));
        QCOMPARE(box->font().pointSizeF(), 9.75);
        QCOMPARE(cancel->text(), QString("Cancel"));
        QCOMPARE(update->text(), QString("Update"));
        QCOMPARE(box->accessibleName(), QString("Key byte"));
        QCOMPARE(cancel->accessibleName(), QString("Cancel"));
        QCOMPARE(update->accessibleName(), QString("Update"));
        QCOMPARE(box->nextInFocusChain(), cancel);
        QCOMPARE(cancel->nextInFocusChain(), update);
    }

    void showKeySelectsTheTwoDigitsAndShows()
    {
        form->ShowKey("0A");
        QVERIFY(form->isVisible());
        QCOMPARE(box->text(), QString("0A"));
        QCOMPARE(box->selectionStart(), 0);
        QCOMPARE(box->selectedText(), QString("0A"));
    }

    void updateHandsOverTheTypedTextThenHides()
    {
        form->ShowKey("00");
        // The main window rewrites the box while handling the signal, as UpdateKeyByte does.
        connect(form, &Form3::UpdateRequested, form, [this](const QString &) { form->SetKeyText("3C"); });
        QSignalSpy spy(form, &Form3::UpdateRequested);
        Type(" 3c5");
        QTest::mouseClick(update, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][0].toString(), QString(" 3c5"));
        QVERIFY(!form->isVisible());
        QCOMPARE(box->text(), QString("3C"));
        QCOMPARE(box->selectedText(), QString("3C"));
    }

    void cancelHidesAndKeepsTheTypedText()
    {
        form->ShowKey("00");
        QSignalSpy spy(form, &Form3::UpdateRequested);
        Type("7F");
        QTest::mouseClick(cancel, Qt::LeftButton);
        QCOMPARE(spy.count(), 0);
        QVERIFY(!form->isVisible());
        QCOMPARE(box->text(), QString("7F"));
        form->ShowKey("00"); // the next opening overwrites it
        QVERIFY(form->isVisible());
        QCOMPARE(box->text(), QString("00"));
    }
};

QTEST_MAIN(TestForm3)
#include "test_form3.moc"
