// quillon's command line: help, version and usage errors need no display; a file
// argument and Qt's own window options are taken.
#include <QtTest>

#include "app/startoptions.h"

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void helpVersionAndUsageErrorsNeedNoDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // how stdout starts
        QTest::addColumn<QString>("err"); // how stderr starts
        const QString usage = "Usage: quillon [options] [FILE]\n";
        QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << "";
        QTest::newRow("-h") << QStringList{"-h"} << 0 << usage << "";
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "quillon " QUILLON_VERSION "\n" << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "" << "quillon: Unknown option 'bogus'.\n" + usage;
        QTest::newRow("two files") << QStringList{"a.qbench", "b.qbench"} << 2 << "" << "quillon: give at most one FILE\n" + usage;
    }

    void helpVersionAndUsageErrorsNeedNoDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        QProcess quillon;
        quillon.setProcessEnvironment(environment);
        quillon.start(QCoreApplication::applicationDirPath() + "/../quillon", arguments);
        QVERIFY(quillon.waitForFinished(60000)); // bounds a hung test only
        QCOMPARE(quillon.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillon.exitCode(), exitCode);
        const QString stdOut = quillon.readAllStandardOutput(), stdErr = quillon.readAllStandardError();
        for (const auto &[text, starts] : {std::pair(stdOut, out), std::pair(stdErr, err)}) {
            QCOMPARE(text.left(starts.size()), starts);
            QCOMPARE(text.isEmpty(), starts.isEmpty());
        }
    }

    void aFileAndQtsWindowOptionsAreTaken()
    {
        StartOptions options;
        QCOMPARE(ParseStartOptions({"quillon", "-session", "1a2b", "-platform", "offscreen", "-reverse", "rig.qbench"},
                                   &options), 0);
        QCOMPARE(options.BenchFile, "rig.qbench");
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_commandline.moc"
