#include "about/frmabout.h"
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QList<QWidget *> TopLevel(const char *className)
{
    QList<QWidget *> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->inherits(className))
            found << w;
    return found;
}

QString Text(QWidget *box, const char *name) { return box->findChild<QLabel *>(name)->text(); }

void WriteProgram(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    file.setPermissions(file.permissions() | QFile::ExeOwner);
}
}

class TestAbout : public QObject {
    Q_OBJECT
    QByteArray SavedPath = qgetenv("PATH");

private slots:
    void init()
    {
        QCoreApplication::setApplicationName("Quillon");
        QCoreApplication::setApplicationVersion("4.5.0");
    }

    void cleanup()
    {
        qputenv("PATH", SavedPath);
        qDeleteAll(TopLevel("frmAbout"));
    }

    void showsTitleAndVersionFromTheApplication_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("shown");
        QTest::newRow("release") << "4.5.0" << "Version 4.5.0";
        QTest::newRow("no revision") << "4.5" << "Version 4.5.0";
        QTest::newRow("leading zeros") << "04.05.00" << "Version 4.5.0";
        QTest::newRow("two-digit parts") << "10.12.301" << "Version 10.12.301";
    }

    void showsTitleAndVersionFromTheApplication()
    {
        QFETCH(QString, version);
        QFETCH(QString, shown);
        QCoreApplication::setApplicationVersion(version);
        frmAbout box;
        QCOMPARE(box.windowTitle(), QString("About Quillon"));
        QCOMPARE(Text(&box, "lblTitle"), QString("Quillon"));
        QCOMPARE(Text(&box, "lblVersion"), shown);
        QVERIFY(!Text(&box, "lblDescription").isEmpty());
        QVERIFY(Text(&box, "lblDisclaimer").contains("example.com"));
        QVERIFY(box.parentWidget() == nullptr);
        QCOMPARE(box.findChildren<QFrame *>("Line1").size(), 2);
        auto *sysInfo = box.findChild<QPushButton *>("cmdSysInfo");
        QCOMPARE(sysInfo->text(), QString("&System Info..."));
        QCOMPARE(sysInfo->accessibleName(), QString("System Info..."));
        QCOMPARE(box.findChild<QPushButton *>("cmdOK")->accessibleName(), QString("OK"));
    }

    void opensOneBoxAndOkUnloadsIt()
    {
        QPointer<frmAbout> about = ShowAboutBox(nullptr);
        QVERIFY(about && about->isVisible());
        QVERIFY(!about->isModal());
        QCOMPARE(ShowAboutBox(about), about.data());
        QCOMPARE(TopLevel("frmAbout").size(), 1);

        QTest::mouseClick(about->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
        QTRY_VERIFY(about.isNull());
        QCOMPARE(TopLevel("frmAbout").size(), 0);

        about = ShowAboutBox(about);
        QVERIFY(about && about->isVisible());
        QCOMPARE(TopLevel("frmAbout").size(), 1);
    }

    void findsTheFirstExecutableCandidate()
    {
        QTemporaryDir first, second;
        WriteProgram(second.filePath("hardinfo"), "#!/bin/sh\n");
        WriteProgram(first.filePath("kinfocenter"), "#!/bin/sh\n");
        QFile notExecutable(first.filePath("hardinfo"));
        QVERIFY(notExecutable.open(QIODevice::WriteOnly));
        notExecutable.close();
        const QStringList candidates{"hardinfo", "kinfocenter"};

        QCOMPARE(frmAbout::FindSysInfoProgram(candidates, {first.path(), second.path()}), second.filePath("hardinfo"));
        QCOMPARE(frmAbout::FindSysInfoProgram(candidates, {first.path()}), first.filePath("kinfocenter"));
        QCOMPARE(frmAbout::FindSysInfoProgram({"gnome-system-monitor"}, {first.path(), second.path()}), QString());
        QCOMPARE(frmAbout::FindSysInfoProgram(candidates, {}), QString());
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
        if (!program.isEmpty())
            WriteProgram(dir.filePath("gnome-system-monitor"), program);
        qputenv("PATH", dir.path().toLocal8Bit());

        QPointer<frmAbout> about = ShowAboutBox(nullptr);
        QTest::mouseClick(about->findChild<QPushButton *>("cmdSysInfo"), Qt::LeftButton);
        const QList<QWidget *> boxes = TopLevel("QMessageBox");
        if (starts) {
            QCOMPARE(boxes.size(), 0);
            QTRY_VERIFY(QFile::exists(dir.filePath("gnome-system-monitor.ran")));
            return;
        }
        QCOMPARE(boxes.size(), 1);
        auto *box = static_cast<QMessageBox *>(boxes.first());
        QVERIFY(box->isVisible());
        QCOMPARE(box->text(), QString("System Information Is Unavailable At This Time"));
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QPointer<QWidget> guard = box;
        box->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(guard.isNull());
        QVERIFY(about); // the About box stays open
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
