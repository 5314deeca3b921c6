// The About box: its version line and contacts, one box at a time, and the system information launcher.
#include <QtTest>
#include <QtWidgets>

#include "windows/frmabout.h"

class TestAbout : public QObject {
    Q_OBJECT
    QByteArray SavedPath = qgetenv("PATH");

private slots:
    void cleanup() { qputenv("PATH", SavedPath); }

    void opensOneBoxWithTheVersionInDecimalAndOkUnloadsIt()
    {
        QCoreApplication::setApplicationVersion("04.05");
        QPointer<frmAbout> about = ShowAboutBox(nullptr);
        QVERIFY(about && about->isVisible() && !about->isModal());
        QCOMPARE(about->findChild<QLabel *>("lblVersion")->text(), "Version 4.5.0");
        for (const QLabel *label : about->findChildren<QLabel *>()) // no placeholder contacts
            QVERIFY2(!label->text().contains(QRegularExpression("example|555", QRegularExpression::CaseInsensitiveOption)),
                     qPrintable(label->text()));
        const qsizetype windows = QApplication::topLevelWidgets().size();
        QCOMPARE(ShowAboutBox(about), about.data());
        QCOMPARE(QApplication::topLevelWidgets().size(), windows); // no second box
        QTest::mouseClick(about->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
        QTRY_VERIFY(about.isNull());
    }

    void anEmptySearchPathFindsNothingRatherThanSearchingThePath()
    {
        QCOMPARE(frmAbout::FindSysInfoProgram({"sh"}, {}), QString());
    }

    void systemInfoStartsTheProgramOrSaysItIsUnavailable_data()
    {
        QTest::addColumn<QByteArray>("program"); // empty: none on the PATH
        QTest::addColumn<bool>("starts");
        QTest::newRow("found") << QByteArray("#!/bin/sh\n: > \"$0.ran\"\n") << true;
        QTest::newRow("none on the path") << QByteArray() << false;
        QTest::newRow("cannot be started") << QByteArray("\x7f" "ELF not really") << false;
    }

    void systemInfoStartsTheProgramOrSaysItIsUnavailable()
    {
        QFETCH(QByteArray, program);
        QFETCH(bool, starts);
        QTemporaryDir dir;
        if (!program.isEmpty()) {
            QFile file(dir.filePath("gnome-system-monitor"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(program) == program.size());
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        }
        qputenv("PATH", dir.path().toLocal8Bit());
        const std::unique_ptr<frmAbout> about(ShowAboutBox(nullptr));
        QTest::mouseClick(about->findChild<QPushButton *>("cmdSysInfo"), Qt::LeftButton);
        const QList<QMessageBox *> boxes = about->findChildren<QMessageBox *>();
        QCOMPARE(boxes.size(), starts ? 0 : 1);
        if (starts)
            QTRY_VERIFY(QFile::exists(dir.filePath("gnome-system-monitor.ran")));
        else
            QCOMPARE(boxes[0]->text(), "System Information Is Unavailable At This Time");
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
