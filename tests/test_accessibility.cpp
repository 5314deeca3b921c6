// What screen readers and UI-automation tools find in each window, reached through
// real clicks and keys: every object's role, name and the states a user hears, in tab
// order, compared with the golden text in tests/accessibility/. After an intended
// change, QUILLON_UPDATE_GOLDEN=1 writes the golden files anew (see the README).
#include <QAccessible>
#include <QtTest>

#include "realwindow.h"

namespace {
// One line an object, indented by its depth: role, name and the states heard.
void Describe(QAccessibleInterface *node, int depth, const QHash<QObject *, int> &tabOrder, QStringList &lines)
{
    const QAccessible::State state = node->state();
    QStringList heard;
    for (const auto &[on, word] : {std::pair{bool(state.checked), "checked"}, {bool(state.disabled), "disabled"},
                                   {bool(state.focused), "focused"}, {bool(state.readOnly), "read-only"},
                                   {bool(state.defaultButton), "default button"}}) {
        if (on)
            heard << word;
    }
    lines << QString(2 * depth, ' ') + QMetaEnum::fromType<QAccessible::Role>().valueToKey(node->role()) + " \""
                 + node->text(QAccessible::Name).replace(QUILLON_VERSION, "<version>").replace('\n', "\\n") + '"'
                 + (heard.isEmpty() ? QString() : " (" + heard.join(", ") + ')');
    QList<QAccessibleInterface *> children;
    for (int i = 0; i < node->childCount(); ++i) {
        if (QAccessibleInterface *child = node->child(i))
            children << child;
    }
    // Widgets in tab order; rows and menu items keep their own order.
    std::stable_sort(children.begin(), children.end(), [&](QAccessibleInterface *a, QAccessibleInterface *b) {
        return tabOrder.value(a->object(), -1) < tabOrder.value(b->object(), -1);
    });
    for (QAccessibleInterface *child : children)
        Describe(child, depth + 1, tabOrder, lines);
}

QStringList Tree(QWidget *window)
{
    QHash<QObject *, int> tabOrder; // each widget's place in its window's focus chain
    for (QWidget *widget = window->nextInFocusChain(); widget != window; widget = widget->nextInFocusChain())
        tabOrder.insert(widget, int(tabOrder.size()));
    QStringList lines;
    Describe(QAccessible::queryAccessibleInterface(window), 0, tabOrder, lines);
    return lines;
}

// The first five lines that differ, expected against actual.
QString Diff(const QStringList &expected, const QStringList &actual)
{
    QString text;
    int shown = 0;
    for (qsizetype i = 0; shown < 5 && (i < expected.size() || i < actual.size()); ++i) {
        const QString want = expected.value(i, "(no line)"), got = actual.value(i, "(no line)");
        if (want != got) {
            text += QString("\nline %1\n  expected: %2\n  actual:   %3").arg(i + 1).arg(want, got);
            ++shown;
        }
    }
    return text;
}
}

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName("Quillon");
        QCoreApplication::setApplicationVersion(QUILLON_VERSION);
    }

    void eachWindowReadsAsItsGoldenTree_data()
    {
        QTest::addColumn<QStringList>("steps"); // buttons to click, or "key" and keys to press
        QTest::addColumn<QString>("window");    // then active, the window described
        QTest::addColumn<QString>("golden");
        QTest::newRow("main window") << QStringList() << "Form1" << "form1.txt";
        QTest::newRow("display disabled, a Debug line")
            << QStringList{"SendCommand", "CommDisplayControl"} << "Form1" << "form1-display-disabled.txt";
        QTest::newRow("COM Port Parameters") << QStringList{"ConfigComPort"} << "Form2" << "form2.txt";
        QTest::newRow("Ethernet chosen") << QStringList{"ConfigComPort", "DataPipeSelect2"} << "Form2" << "form2-ethernet.txt";
        QTest::newRow("Set Key") << QStringList{"SetKeyByte"} << "Form3" << "form3.txt";
        QTest::newRow("About") << QStringList{"key Alt+H", "key A"} << "frmAbout" << "frmabout.txt";
        QTest::newRow("Answers, a rule added") << QStringList{"key Alt+B", "key A", "AddAnswer"} << "AnswersWindow"
                                               << "answers.txt";
        QTest::newRow("Commands") << QStringList{"key Alt+B", "key C"} << "CommandsWindow" << "commands.txt";
        QTest::newRow("a saved command edited") << QStringList{"key Alt+B", "key C", "AddCommand"} << "CommandEditor"
                                                << "commandeditor.txt";
    }

    void eachWindowReadsAsItsGoldenTree()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, window);
        QFETCH(QString, golden);
        RealWindow w;
        QVERIFY(Reach(&w.form));
        for (const QString &step : steps) {
            if (step.startsWith("key ")) // to an open menu, else to the window
                QTest::keySequence(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : &w.form,
                                   QKeySequence(step.mid(4)));
            else
                w.Do(step);
        }
        const auto active = [&] { return QApplication::activeWindow() && QApplication::activeWindow()->objectName() == window; };
        QVERIFY2(QTest::qWaitFor(active), qPrintable(window + " is not the active window"));
        QCoreApplication::processEvents(); // rows reach the lists when the loop is free
        const QStringList actual = Tree(QApplication::activeWindow());
        delete w->AboutBox(); // it has no owner to close it

        QFile file(QString(QUILLON_TESTS_DIR "/accessibility/") + golden);
        if (qEnvironmentVariableIntValue("QUILLON_UPDATE_GOLDEN")) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write((actual.join('\n') + '\n').toUtf8());
            file.close();
            qInfo("wrote %s", qPrintable(file.fileName()));
        }
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName() + ": " + file.errorString()));
        const QStringList expected = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(actual == expected, qPrintable(golden + " differs:" + Diff(expected, actual)));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
