#include "script/scriptreader.h"
#include "script/scriptrunner.h"
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Records everything the runner does, in order: T traffic, X text, M marker, D debug, S sent.
class FakeHost : public ScriptHost {
public:
    QStringList events;
    QString status = QStringLiteral("untouched");
    QString path;
    QString delayText = QStringLiteral("0");
    bool echo = true;
    QList<QByteArray> sent;

    void WriteTrafficLine(QString &line) override { events << "T:" + line; line.clear(); }
    void WriteTextLine(QString &line) override { events << "X:" + line; line.clear(); }
    void WriteLogMarker(const QString &marker) override { events << "M:" + marker; }
    void SetEchoEnabled(bool on) override { echo = on; }
    void ShowScriptStatus(const QString &text8) override { status = text8; }
    void ShowScriptPath(const QString &text6) override { path = text6; }
    QString ScriptDelayText() override { return delayText; }
    void SetScriptDelayText(const QString &text) override { delayText = text; }
    void SendScriptPacket(const QByteArray &bytes) override
    {
        sent << bytes;
        events << "S:" + QString::fromLatin1(bytes.toHex(' ').toUpper());
    }
    void PostDebug(const QString &line) override { events << "D:" + line; }
};

class FakeDialog : public FileDialog {
public:
    bool answer = true;
    QString name;
    FileRequest last;
    bool Ask(const FileRequest &request, QString *chosen) override
    {
        last = request;
        *chosen = name;
        return answer;
    }
};

} // namespace

class TestScript : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    FakeHost host;
    FakeDialog dialog;
    std::unique_ptr<ScriptRunner> runner;

    QString WriteFile(const QByteArray &content, const QString &name = QStringLiteral("s.dwn"))
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    QList<QByteArray> ReadAll(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        ScriptLineReader reader(file);
        QList<QByteArray> lines;
        while (!reader.AtEnd())
            lines << reader.ReadLine();
        return lines;
    }
    void Select(const QString &path)
    {
        dialog.answer = true;
        dialog.name = path;
        runner->SelectScriptFile_Click();
    }
    void Start(const QByteArray &content)
    {
        Select(WriteFile(content));
        runner->SendScriptFile_Click();
        host.events.clear();
    }
    // Steps until the script completes; a guard keeps a runner that never ends from hanging.
    int RunToEnd(int limit = 100000)
    {
        int steps = 0;
        while (runner->ScriptState == 2 && steps < limit) {
            runner->RunScriptStep();
            ++steps;
        }
        return steps;
    }

private slots:
    void init()
    {
        host = FakeHost();
        runner = std::make_unique<ScriptRunner>(host, dialog);
    }

    void readerSplitsLinesAtCrLfAndLoneCr_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::newRow("crlf") << QByteArray("01\r\n02\r\n") << QList<QByteArray>{"01", "02"};
        QTest::newRow("lone cr") << QByteArray("01\r02\r") << QList<QByteArray>{"01", "02"};
        QTest::newRow("lf only is one line") << QByteArray("01\n02\n") << QList<QByteArray>{"01\n02\n"};
        QTest::newRow("no last terminator") << QByteArray("01\r\n02") << QList<QByteArray>{"01", "02"};
        QTest::newRow("cr cr lf") << QByteArray("01\r\r\n02") << QList<QByteArray>{"01", "", "02"};
        QTest::newRow("lf cr") << QByteArray("01\n\r02") << QList<QByteArray>{"01\n", "02"};
        QTest::newRow("empty file") << QByteArray() << QList<QByteArray>{};
        QTest::newRow("terminator only") << QByteArray("\r\n") << QList<QByteArray>{""};
        const QByteArray head(ScriptLineReader::ChunkSize - 1, 'A');
        QTest::newRow("crlf across chunks") << head + "\r\nB" << QList<QByteArray>{head, "B"};
        QTest::newRow("cr ends a chunk") << head + "\rB" << QList<QByteArray>{head, "B"};
        const QByteArray head2(ScriptLineReader::ChunkSize - 2, 'A');
        QTest::newRow("crlf fills a chunk") << head2 + "\r\n" << QList<QByteArray>{head2};
        QTest::newRow("crlf fills a chunk, more follows") << head2 + "\r\nB" << QList<QByteArray>{head2, "B"};
        const QByteArray big(1 << 20, '5');
        QTest::newRow("1 MB without terminator") << big << QList<QByteArray>{big};
    }
    void readerSplitsLinesAtCrLfAndLoneCr()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<QByteArray>, lines);
        QCOMPARE(ReadAll(WriteFile(content)), lines);
    }

    void readerTreatsAReadErrorAsEndOfFile()
    {
#ifdef Q_OS_LINUX
        // Reading this process's memory at offset 0 fails with an I/O error.
        QFile file(QStringLiteral("/proc/self/mem"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        ScriptLineReader reader(file);
        QVERIFY(reader.AtEnd());
#else
        QSKIP("needs /proc");
#endif
    }

    void classifiesEachKindOfLine_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<ScriptLineKind>("kind");
        QTest::addColumn<QString>("text");
        using K = ScriptLineKind;
        QTest::newRow("empty") << QByteArray("") << K::Blank << " ";
        QTest::newRow("spaces") << QByteArray("   ") << K::Blank << " ";
        QTest::newRow("tab is kept") << QByteArray(" \t ") << K::Command << "\t";
        QTest::newRow("comment") << QByteArray("  ; start ") << K::Comment << "; START";
        QTest::newRow("echo on") << QByteArray("ECHO ON") << K::EchoOn << "";
        QTest::newRow("echo one") << QByteArray("echo one") << K::EchoOn << "";
        QTest::newRow("echoxon") << QByteArray("ECHOXON") << K::EchoOn << "";
        QTest::newRow("echo off") << QByteArray("  Echo Off") << K::EchoOff << "";
        QTest::newRow("echo office") << QByteArray("ECHO OFFICE") << K::EchoOff << "";
        QTest::newRow("echo of") << QByteArray("ECHO OF") << K::EchoText << "OF";
        QTest::newRow("echoes") << QByteArray("ECHOES") << K::EchoText << "ES";
        QTest::newRow("echo alone") << QByteArray("ECHO") << K::EchoText << "";
        QTest::newRow("echo text") << QByteArray("echo hello world  ") << K::EchoText << "HELLO WORLD";
        QTest::newRow("ech") << QByteArray("ech") << K::Command << "ECH";
        QTest::newRow("command") << QByteArray(" 05 0a ff ") << K::Command << "05 0A FF";
    }
    void classifiesEachKindOfLine()
    {
        QFETCH(QByteArray, raw);
        QFETCH(ScriptLineKind, kind);
        QFETCH(QString, text);
        const ScriptLine line = ClassifyScriptLine(raw);
        QCOMPARE(line.kind, kind);
        if (kind != ScriptLineKind::EchoOn && kind != ScriptLineKind::EchoOff)
            QCOMPARE(line.text, text);
    }

    void delayTextBecomesTicks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ticks");
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("2") << "2" << 0;
        QTest::newRow("3") << "3" << 1;
        QTest::newRow("1000") << "1000" << 200;
        QTest::newRow("2.5 ticks to even 2") << "12.5" << 2;
        QTest::newRow("4.5 ticks to even 4") << "22.5" << 4;
        QTest::newRow("7.5 ticks to even 8") << "37.5" << 8;
        QTest::newRow("leading blanks and junk") << " \t15ms" << 3;
        QTest::newRow("blanks inside") << "1 000" << 200;
        QTest::newRow("plus sign") << "+10" << 2;
        QTest::newRow("fraction only") << ".5" << 0;
        QTest::newRow("second point stops") << "10.0.5" << 2;
        QTest::newRow("no number") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("sign alone") << "-" << 0;
        QTest::newRow("negative") << "-500" << 0;
        QTest::newRow("largest that fits") << "163837" << 32767;
        QTest::newRow("just over") << "163838" << 32767;
        QTest::newRow("huge") << QString(400, QLatin1Char('9')) << 32767;
        QTest::newRow("huge negative") << "-" + QString(400, QLatin1Char('9')) << 0;
        QTest::newRow("long fraction") << "12." + QString(400, QLatin1Char('4')) << 2;
        QTest::newRow("leading zeros") << QString(30, QLatin1Char('0')) + "15" << 3;
    }
    void delayTextBecomesTicks()
    {
        QFETCH(QString, text);
        QFETCH(int, ticks);
        QCOMPARE(ScriptDelayTicks(text), ticks);
    }

    void selectAsksForAScriptFile()
    {
        Select(QStringLiteral("/x/a.dwn"));
        QCOMPARE(dialog.last.initialName, QStringLiteral("*.dwn"));
        QCOMPARE(dialog.last.filter, QStringLiteral("Script Files (*.dwn)"));
        QCOMPARE(dialog.last.defaultSuffix, QStringLiteral("dwn"));
        QCOMPARE(runner->ScriptState, qint16(1));
        QCOMPARE(host.status, QStringLiteral("Inactive."));
        QCOMPARE(host.path, QStringLiteral("/x/a.dwn"));

        dialog.answer = false;
        runner->SelectScriptFile_Click();
        QCOMPARE(host.events.last(), QStringLiteral("D:Script File cancelled."));
        QCOMPARE(runner->ScriptState, qint16(0));
        QCOMPARE(host.path, QString());
        Select(QString());
        QCOMPARE(host.events.last(), QStringLiteral("D:No Script file specified."));
        QCOMPARE(runner->ScriptState, qint16(0));
        runner->SendScriptFile_Click();
        QCOMPARE(host.events.last(), QStringLiteral("D:No Script file specified."));
    }

    void commandLinesAreEchoedAndSent()
    {
        host.delayText = QString();
        Start("05 00 68 6A F1 3F\r\n5 0 a\r\nff\r\n05  00\r\n05  0\r\n");
        runner->RunScriptStep();
        QCOMPARE(host.events, QStringList({"T:<<- 05 00 68 6A F1 3F ", "S:05 00 68 6A F1 3F"}));
        QCOMPARE(host.delayText, QStringLiteral("1000"));
        QCOMPARE(runner->ScriptDelayCount, 200);
        host.delayText = QStringLiteral("0");
        runner->ScriptDelayCount = 0;
        host.events.clear();
        RunToEnd();
        QCOMPARE(host.events, QStringList({"T:<<- 5 0 A ", "S:05 00 0A", "T:<<- FF ", "S:FF",
                                           "T:<<- 05  00 ", "D:Error in command string.", "S:05",
                                           "T:<<- 05  0 ", "D:Nib1 not valid: 20", "S:05 00",
                                           "M:### Script file completed."}));
    }

    void scriptSpendsTheDelayBetweenCommands_data()
    {
        QTest::addColumn<QString>("delay");
        QTest::addColumn<int>("waited");
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("2") << "2" << 0;
        QTest::newRow("3") << "3" << 1;
        QTest::newRow("37.5") << "37.5" << 8;
        QTest::newRow("12.5") << "12.5" << 2;
        QTest::newRow("negative") << "-100" << 0;
        QTest::newRow("empty box") << "" << 200;
    }
    void scriptSpendsTheDelayBetweenCommands()
    {
        QFETCH(QString, delay);
        QFETCH(int, waited);
        host.delayText = delay;
        // Comments, blanks and echo lines between the commands cost no tick.
        Start("01\r\n; wait\r\n\r\nECHO OFF\r\nECHO now\r\n02\r\n");
        runner->RunScriptStep();
        QCOMPARE(host.sent.size(), 1);
        int steps = 0;
        while (host.sent.size() < 2 && steps <= waited + 1) {
            runner->RunScriptStep();
            ++steps;
        }
        QCOMPARE(steps, waited + 1);
        QVERIFY(!host.echo);
        QCOMPARE(host.events.mid(2, 5), QStringList({"T:; WAIT", "T: ", "X:NOW", "T:<<- 02 ", "S:02"}));
        runner->ScriptDelayCount = 0;
        runner->RunScriptStep();
        QCOMPARE(host.status, QStringLiteral("Completed."));
        QVERIFY(host.echo);
    }

    void lineWithoutBytesSendsNothingButLoadsTheDelay()
    {
        host.delayText = QStringLiteral("10");
        Start("0500\r\n");
        runner->RunScriptStep();
        QCOMPARE(host.events, QStringList({"T:<<- 0500 ", "D:Error in command string."}));
        QCOMPARE(runner->ScriptDelayCount, 2);
        QVERIFY(host.sent.isEmpty());
    }

    void lfOnlyFileIsOneBadCommandLine()
    {
        Start("01\n02\n");
        QCOMPARE(RunToEnd(), 2);
        QVERIFY(host.sent.isEmpty());
        QVERIFY(host.events.contains(QStringLiteral("D:Error in command string.")));
    }

    void overLongLineIsSkippedAndTheScriptGoesOn()
    {
        QByteArray fits = QByteArray("7F ").repeated(ScriptRunner::LineCapacity);
        Start(fits + "\r\n" + fits + "7F\r\n02\r\n");
        RunToEnd();
        QCOMPARE(host.sent.size(), 2);
        QCOMPARE(host.sent[0], QByteArray(ScriptRunner::LineCapacity, '\x7F'));
        QCOMPARE(host.sent[1], QByteArray("\x02"));
        QVERIFY(host.events.contains(QStringLiteral("D:Script line longer than 4097 bytes skipped.")));
    }

    void shortFilesCompleteInTheFirstStep_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("comments only") << QByteArray("; a\r\n;b\r\n");
    }
    void shortFilesCompleteInTheFirstStep()
    {
        QFETCH(QByteArray, content);
        Start(content);
        runner->RunScriptStep();
        QCOMPARE(runner->ScriptState, qint16(1));
        QCOMPARE(host.status, QStringLiteral("Completed."));
        QCOMPARE(host.events.last(), QStringLiteral("M:### Script file completed."));
        QCOMPARE(host.events.size(), content.count('\n') + 1);
    }

    void restartStopsThenStartsFromTheFirstLine()
    {
        const QString path = WriteFile("01\r\n02\r\n");
        Select(path);
        runner->SendScriptFile_Click();
        QCOMPARE(host.events, QStringList({"M:### Start Script File: " + path}));
        runner->RunScriptStep();
        host.echo = false;
        host.events.clear();
        runner->SendScriptFile_Click();
        QCOMPARE(host.events, QStringList({"M:### Script file stopped.", "M:### Start Script File: " + path}));
        QCOMPARE(host.status, QStringLiteral("Active."));
        QVERIFY(host.echo);
        runner->RunScriptStep();
        QCOMPARE(host.sent, QList<QByteArray>({"\x01", "\x01"}));
    }

    void abortMarksTheLogAndAllowsRestart()
    {
        Start("01\r\n02\r\n");
        runner->RunScriptStep();
        runner->AbortScriptFile_Click();
        QCOMPARE(runner->ScriptState, qint16(1));
        QCOMPARE(host.status, QStringLiteral("Aborted."));
        QCOMPARE(host.events.last(), QStringLiteral("M:### Script file aborted."));
        runner->RunScriptStep();
        QCOMPARE(host.sent.size(), 1);
        runner->SendScriptFile_Click();
        runner->RunScriptStep();
        QCOMPARE(host.sent, QList<QByteArray>({"\x01", "\x01"}));
    }

    void abortWhenIdleChangesNothing()
    {
        runner->AbortScriptFile_Click();
        QCOMPARE(host.status, QStringLiteral("untouched"));
        QCOMPARE(runner->ScriptState, qint16(0));
        Select(WriteFile("01\r\n"));
        host.events.clear();
        runner->AbortScriptFile_Click();
        QCOMPARE(runner->ScriptState, qint16(1));
        QCOMPARE(host.status, QStringLiteral("Inactive."));
        QVERIFY(host.events.isEmpty());
    }

    void reselectWhileRunningStopsWithoutMarker()
    {
        Start("01\r\n02\r\n");
        runner->RunScriptStep();
        Select(WriteFile("03\r\n", QStringLiteral("other.dwn")));
        QCOMPARE(runner->ScriptState, qint16(1));
        QVERIFY(host.events.filter(QStringLiteral("M:")).isEmpty());
        runner->SendScriptFile_Click();
        runner->RunScriptStep();
        QCOMPARE(host.sent.last(), QByteArray("\x03"));
    }

    void fileThatCannotBeOpenedClearsTheSelection()
    {
        const QString path = WriteFile("01\r\n");
        Select(path);
        QVERIFY(QFile::remove(path));
        runner->SendScriptFile_Click();
        QCOMPARE(host.events.last(), QStringLiteral("D:Error in starting Script file."));
        QCOMPARE(runner->ScriptState, qint16(0));
        QCOMPARE(runner->ScriptFileName, QString());
        QCOMPARE(host.path, QString());
        Select(dir.path()); // a folder is no script either
        runner->SendScriptFile_Click();
        QCOMPARE(runner->ScriptState, qint16(0));

        Select(WriteFile("01\r\n"));
        runner->ScriptState = 7;
        runner->SendScriptFile_Click();
        QCOMPARE(host.events.last(), QStringLiteral("D:Error in starting Script file."));
        QCOMPARE(runner->ScriptState, qint16(0));
    }

    void shutdownClosesQuietly()
    {
        runner->CloseForShutdown();
        QCOMPARE(host.status, QStringLiteral("untouched"));
        Start("01\r\n");
        runner->CloseForShutdown();
        QCOMPARE(runner->ScriptState, qint16(0));
        QCOMPARE(host.status, QStringLiteral("Closed"));
        QVERIFY(host.events.isEmpty());
        runner->RunScriptStep();
        QVERIFY(host.sent.isEmpty());
    }

    void badFilesEndCleanly_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray binary(300000, Qt::Uninitialized);
        for (char &c : binary)
            c = char(QRandomGenerator::global()->bounded(256));
        QTest::newRow("binary") << binary;
        QTest::newRow("1 MB line") << QByteArray("AB ").repeated(350000) + "\r\n01";
        QTest::newRow("no line ending") << QByteArray("01 02 03");
    }
    void badFilesEndCleanly()
    {
        QFETCH(QByteArray, content);
        Start(content);
        QVERIFY(RunToEnd() < 100000);
        QCOMPARE(host.status, QStringLiteral("Completed."));
    }

    void fileDeletedWhileRunningIsReadToTheEnd()
    {
        const QString path = WriteFile(QByteArray("01\r\n").repeated(50000));
        Select(path);
        runner->SendScriptFile_Click();
        runner->RunScriptStep();
        QVERIFY(QFile::remove(path));
        RunToEnd();
        QCOMPARE(host.status, QStringLiteral("Completed."));
        QCOMPARE(host.sent.size(), 50000);
    }
};

QTEST_GUILESS_MAIN(TestScript)
#include "test_script.moc"
