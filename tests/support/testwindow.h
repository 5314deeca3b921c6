#pragma once
#include <QMenuBar>
#include <QtTest>

#include "app/session.h"
#include "fakefiledialog.h"
#include "fakeserialdriver.h"
#include "fakesocketcontrol.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/form3.h"

// Brings the control's window to the front, as a user's click on it does; false
// when the control is not on screen.
inline bool Reach(QWidget *control)
{
    if (!control || !control->isVisible())
        return false;
    control->window()->activateWindow();
    return QTest::qWaitFor([control] { return QApplication::activeWindow() == control->window(); });
}

// A user's click: a radio button on its indicator, any other button in its middle.
inline void ClickOn(QAbstractButton *button)
{
    QVERIFY2(Reach(button), "no such button on screen");
    const bool radio = qobject_cast<QRadioButton *>(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, radio ? QPoint(8, button->height() / 2) : QPoint());
}

// Types over whatever the box holds: a click into it, Ctrl+A, then the keys.
inline void Type(QLineEdit *box, const QString &text)
{
    QVERIFY2(Reach(box), "no such box on screen");
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
}

// The session on the window's thread over a fake serial driver and a fake socket that
// the test plays; the window hears the session itself.
struct FakeParts {
    FakeSerialDriver driver;
    FakeSocketControl socket;
    Session session{driver, socket};
    static constexpr bool PortTable = false;
    Session &Requests() { return session; }
    SessionReports &Reports() { return session; }
    void Settle() {}
};

// The window over parts (FakeParts, or the program's own run in ThreadParts) and a file
// dialog answered in advance, driven as a user drives it. Each press waits until the
// session has handled it and the window has shown what the session reported.
template <typename Parts> struct WindowOver : Parts {
    FakeFileDialog files;
    Form1 form{this->Requests(), this->Reports(), Parts::PortTable, files};

    WindowOver()
    {
        form.show();
        form.InitVariables();
        this->Settle(); // the window as the user first sees it
    }
    Form1 *operator->() { return &form; }
    template <typename Widget = QWidget> Widget *Find(const QString &name) { return form.findChild<Widget *>(name); }
    // Presses a button of the main window or of one of its dialogs.
    void Press(const QString &name)
    {
        ClickOn(Find<QAbstractButton>(name));
        this->Settle();
    }
    // Chooses a menu's entry with the mouse, e.g. Choose("BenchMenu", "BenchAnswers").
    void Choose(const QString &menuName, const QString &actionName)
    {
        QMenu *menu = Find<QMenu>(menuName);
        QMenuBar *bar = form.menuBar();
        QVERIFY2(menu && Reach(bar), qPrintable("no menu " + menuName));
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
        QVERIFY(QTest::qWaitFor([menu] { return menu->isVisible(); }));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(Find<QAction>(actionName)).center());
        this->Settle();
    }

    QStringList Rows(const QListWidget *list)
    {
        this->Settle();
        QCoreApplication::processEvents(); // rows reach the list when the loop is free
        QStringList rows;
        for (int i = 0; i < list->count(); ++i)
            rows.append(list->item(i)->text());
        return rows;
    }
    QStringList Traffic() { return Rows(form.List1); }
    QStringList Debug() { return Rows(form.List2); }

    // A button's name to press it, or "box=text" to type over the box.
    void Do(const QString &step)
    {
        if (step.contains('='))
            Type(Find<QLineEdit>(step.section('=', 0, 0)), step.section('=', 1));
        else
            Press(step);
    }
    // "Configure Comms", the steps, then Initialize; false when the last step's box did
    // not take its text (a test must never reach for a real port or address).
    bool Open(const QStringList &steps)
    {
        Press("ConfigComPort");
        for (const QString &step : steps)
            Do(step);
        if (Find<QLineEdit>(steps.last().section('=', 0, 0))->text() != steps.last().section('=', 1))
            return false;
        Press("Initialize");
        return true;
    }
    // Types over the key "Set Key" shows selected, then presses Enter (or Esc).
    void SetKey(const QString &key, Qt::Key last = Qt::Key_Return)
    {
        Press("SetKeyByte");
        // The dialog activates itself; a dialog is not active when only its owner is.
        QVERIFY(QTest::qWaitFor([this] { return QApplication::activeWindow() == form.KeyDialog(); }));
        QTest::keyClicks(QApplication::focusWidget(), key);
        QTest::keyClick(QApplication::focusWidget(), last);
        this->Settle();
    }
    bool OpenLog(const QString &path)
    {
        files.Answers << path;
        Press("SelectLogFile");
        return form.Text2->text() == path + " - Active";
    }
};

using TestWindow = WindowOver<FakeParts>;
