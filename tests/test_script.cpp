#include "fakefiledialog.h"
#include "script/scriptreader.h"
#include "script/scriptrunner.h"
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

// Records what the runner does, in order: T traffic, X text, M marker, D debug, S sent, E echo change.
class FakeHost : public ScriptHost {
public:
    QStringList events;
    QString status = QStringLiteral("untouched"), path, delayText = QStringLiteral("0");
    bool echo = true;
    QList<QByteArray> sent;

    void WriteTrafficLine(QString &line) override { events << "T:" + line; line.clear(); }
    void WriteTextLine(QString &line) override { events << "X:" + line; line.clear(); }
    void WriteLogMarker(const QString &marker) override { events << "M:" + marker; }
    void SetEchoEnabled(bool on) override { if (on != echo) events << (on ? "E:on" : "E:off"); echo = on; }
    void ShowScriptStatus(const QString &text8) override { status = text8; }
    void ShowScriptPath(const QString &text6) override { path = text6; }
    QString ScriptDelayText() override { return delayText; }
    void SetScriptDelayText(const QString &text) override { delayText = text; }
    void SendScriptPacket(const QByteArray &bytes) override
    {
        sent << bytes;
        events << "S:" + bytes.toHex(' ').toUpper();
    }
    void PostDebug(const QString &line) override { events << "D:" + line; }
};

} // namespace

class TestScript : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    FakeHost host;
    FakeFileDialog dialog;
    std::unique_ptr<ScriptRunner> runner;

    QString WriteFile(const QByteArray &content, const QString &name = QStringLiteral("s.dwn"))
    {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }
    QString State() const { return QString::number(runner->ScriptState) + '|' + host.status + '|' + host.path; }
    void Select(const QString &path)
    {
        dialog.Answers = {path};
        runner->SelectScriptFile_Click();
    }
    void Start(const QByteArray &content)
    {
        Select(WriteFile(content));
        runner->SendScriptFile_Click();
        host.events.clear();
    }
    // Steps until the script completes; the guard keeps a runner that never ends from hanging.
    int RunToEnd()
    {
        int steps = 0;
        for (; runner->ScriptState == 2 && steps < 100000; ++steps)
            runner->RunScriptStep();
        return steps;
    }

private slots:
    void init()
    {
        host = FakeHost();
        dialog.Answers.clear();
        runner = std::make_unique<ScriptRunner>(host, dialog);
    }

    void readerSplitsLinesAtCrLfLoneCrAndLoneLf_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::newRow("crlf") << QByteArray("01\r\n02\r\n") << QList<QByteArray>{"01", "02"};
        QTest::newRow("lone cr") << QByteArray("01\r02\r") << QList<QByteArray>{"01", "02"};
        QTest::newRow("lone lf") << QByteArray("01\n02\n") << QList<QByteArray>{"01", "02"};
        QTest::newRow("cr cr lf") << QByteArray("01\r\r\n02") << QList<QByteArray>{"01", "", "02"};
        QTest::newRow("lf cr") << QByteArray("01\n\r02") << QList<QByteArray>{"01", "", "02"};
        QTest::newRow("mixed") << QByteArray("01\r\n\n02\r03\n") << QList<QByteArray>{"01", "", "02", "03"};
        QTest::newRow("empty file") << QByteArray() << QList<QByteArray>{};
        const QByteArray head(ScriptLineReader::ChunkSize - 1, 'A'), head2 = head.left(head.size() - 1);
        QTest::newRow("crlf across chunks") << head + "\r\nB" << QList<QByteArray>{head, "B"};
        QTest::newRow("cr ends a chunk") << head + "\rB" << QList<QByteArray>{head, "B"};
        QTest::newRow("crlf fills a chunk") << head2 + "\r\n" << QList<QByteArray>{head2};
        QTest::newRow("crlf fills a chunk, more follows") << head2 + "\r\nB" << QList<QByteArray>{head2, "B"};
        QTest::newRow("lf ends a chunk") << head + "\nB" << QList<QByteArray>{head, "B"};
        // A longer line comes back cut; the rest, up to its end, is dropped.
        const QByteArray big(1 << 20, '5'), cut = big.left(ScriptLineReader::MaxLineLength);
        QTest::newRow("1 MB without terminator") << big << QList<QByteArray>{cut};
        QTest::newRow("1 MB, then a line") << big + "\n01" << QList<QByteArray>{cut, "01"};
        QTest::newRow("crlf across chunks of a dropped tail")
            << big.left(2 * ScriptLineReader::ChunkSize - 1) + "\r\n01" << QList<QByteArray>{cut, "01"};
    }
    void readerSplitsLinesAtCrLfLoneCrAndLoneLf()
    {
        QFETCH(QByteArray, content);
        QFile file(WriteFile(content));
        QVERIFY(file.open(QIODevice::ReadOnly));
        ScriptLineReader reader(file);
        QList<QByteArray> lines;
        while (!reader.AtEnd()) {
            if (const auto line = reader.ReadLine())
                lines << *line;
        }
        QTEST(lines, "lines");
    }

    void readerTreatsAReadErrorAsEndOfFile()
    {
        QFile file(QStringLiteral("/proc/self/mem")); // reading at offset 0 fails with an I/O error
        if (!file.open(QIODevice::ReadOnly))
            QSKIP("needs /proc");
        QVERIFY(ScriptLineReader(file).AtEnd());
    }

    void classifiesEachKindOfLine_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<ScriptLineKind>("kind");
        QTest::addColumn<QString>("text");
        using K = ScriptLineKind;
        QTest::newRow("spaces") << QByteArray("   ") << K::Blank << " ";
        QTest::newRow("tab is kept") << QByteArray(" \t ") << K::Command << "\t";
        QTest::newRow("comment") << QByteArray("  ; start ") << K::Comment << "; START";
        QTest::newRow("echo one") << QByteArray("echo one") << K::EchoOn << "";
        QTest::newRow("fifth character unread") << QByteArray("ECHOXON") << K::EchoOn << "";
        QTest::newRow("echo office") << QByteArray("  Echo Office") << K::EchoOff << "";
        QTest::newRow("echo of") << QByteArray("ECHO OF") << K::EchoText << "OF";
        QTest::newRow("echoes") << QByteArray("ECHOES") << K::EchoText << "ES";
        QTest::newRow("echo text") << QByteArray("echo hello world  ") << K::EchoText << "HELLO WORLD";
        QTest::newRow("command") << QByteArray(" 05 0a ff ") << K::Command << "05 0A FF";
    }
    void classifiesEachKindOfLine()
    {
        QFETCH(QByteArray, raw);
        const ScriptLine line = ClassifyScriptLine(raw);
        QTEST(line.kind, "kind");
        QTEST(line.text, "text");
    }

    void delayBoxSetsTheTicksBetweenCommands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ticks");
        QTest::newRow("2") << "2" << 0;
        QTest::newRow("3") << "3" << 1;
        QTest::newRow("2.5 ticks to even 2") << "12.5" << 2;
        QTest::newRow("7.5 ticks to even 8") << "37.5" << 8;
        QTest::newRow("blanks and junk") << " \t1 5ms" << 3;
        QTest::newRow("second point stops") << "+10.0.5" << 2;
        QTest::newRow("negative") << "-500" << 0;
        QTest::newRow("rounds past the limit") << "163838" << 32767;
        QTest::newRow("huge") << QString(400, QLatin1Char('9')) << 32767;
        QTest::newRow("long fraction") << "12." + QString(400, QLatin1Char('4')) << 2;
    }
    void delayBoxSetsTheTicksBetweenCommands()
    {
        QFETCH(QString, text);
        QFETCH(int, ticks);
        QCOMPARE(ScriptDelayTicks(text), ticks);
        host.delayText = text;
        Start("01\r\n; wait\r\n\r\nECHO OFF\r\nECHO now\r\n02\r\n");
        QCOMPARE(RunToEnd(), 2 * (ticks + 1) + 1); // the lines between the commands cost no tick
        QCOMPARE(host.events, QStringList({"T:<<- 01 ", "S:01", "T:; WAIT", "T: ", "E:off", "X:NOW",
                                           "T:<<- 02 ", "S:02", "E:on", "M:### Script file completed."}));
    }

    void commandLinesAreEchoedSentAndEachLoadsTheDelay()
    {
        host.delayText.clear(); // an empty box means 1000 ms
        Start("05 00 68 6A F1 3F\r\n0500\r\n5 0 a\r\nff\r\n05  00\r\n05  0\r\n");
        QCOMPARE(RunToEnd(), 6 * 201 + 1); // even a line that sends nothing waits its 200 ticks
        QCOMPARE(host.delayText, QStringLiteral("1000"));
        QCOMPARE(host.events, QStringList({"T:<<- 05 00 68 6A F1 3F ", "S:05 00 68 6A F1 3F",
                                           "T:<<- 0500 ", "D:Error in command string.",
                                           "T:<<- 5 0 A ", "S:05 00 0A", "T:<<- FF ", "S:FF",
                                           "T:<<- 05  00 ", "D:Error in command string.", "S:05",
                                           "T:<<- 05  0 ", "D:Nib1 not valid: 20", "S:05 00",
                                           "M:### Script file completed."}));
    }

    void oddFilesRunToTheEnd_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("sent"); // -1: any number
        QTest::addColumn<QString>("debug");
        QByteArray binary(300000, Qt::Uninitialized);
        for (char &c : binary)
            c = char(QRandomGenerator::global()->bounded(256));
        const QByteArray full = QByteArray("7F ").repeated(ScriptRunner::LineCapacity);
        const QString skipped = QStringLiteral("D:Script line longer than 4097 bytes skipped.");
        QTest::newRow("empty") << QByteArray() << 0 << "";
        QTest::newRow("lf line ends") << QByteArray("01\n02\n") << 2 << "";
        QTest::newRow("no line ending") << QByteArray("01 02 03") << 1 << "";
        QTest::newRow("full line, one more") << full + "\r\n" + full + "7F\r\n02" << 2 << skipped;
        QTest::newRow("1 MB line") << QByteArray("AB ").repeated(350000) + "\r\n01" << 1 << skipped;
        // Cut to the reader's limit, a line of wide characters must still be refused whole.
        QTest::newRow("long line of 4-byte characters")
            << QByteArray("\xF0\x9F\x98\x80\xF0\x9F\x98\x80 ").repeated(4098) + "\r\n01" << 1 << skipped;
        QTest::newRow("binary") << binary << -1 << "";
    }
    void oddFilesRunToTheEnd()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, sent);
        QFETCH(QString, debug);
        Start(content);
        QVERIFY(RunToEnd() < 100000);
        QCOMPARE(host.events.last(), QStringLiteral("M:### Script file completed."));
        QVERIFY(sent < 0 || host.sent.size() == sent);
        QVERIFY(debug.isEmpty() || host.events.contains(debug));
    }

    // A script on a pipe never holds up the window: what waits in it runs, then it ends.
    void fifoScriptRunsWhatIsWaitingAndEnds_data()
    {
        QTest::addColumn<QByteArray>("waiting"); // null: no writer at all
        QTest::newRow("no writer") << QByteArray();
        QTest::newRow("writer stays open") << QByteArray("01\n02");
    }
    void fifoScriptRunsWhatIsWaitingAndEnds()
    {
        QFETCH(QByteArray, waiting);
        const QString path = dir.filePath(QTest::currentDataTag());
        QCOMPARE(mkfifo(QFile::encodeName(path), 0600), 0);
        QFile writer(path); // read-write, so its open does not wait for a reader
        if (!waiting.isNull())
            QVERIFY(writer.open(QIODevice::ReadWrite | QIODevice::Unbuffered) && writer.write(waiting) == 5);
        Select(path);
        runner->SendScriptFile_Click();
        RunToEnd();
        QCOMPARE(host.sent.size(), waiting.isNull() ? 0 : 2);
        QCOMPARE(host.events.last(), QStringLiteral("M:### Script file completed."));
    }

    void selectAsksForAScriptFile()
    {
        Select(QStringLiteral("/x/a.dwn"));
        const FileRequest asked = dialog.Requests.last();
        QCOMPARE(QStringList({asked.initialName, asked.filter, asked.defaultSuffix}),
                 QStringList({"*.dwn", "Script Files (*.dwn)", "dwn"}));
        QCOMPARE(State(), QStringLiteral("1|Inactive.|/x/a.dwn"));
    }

    // Clicks on the script controls over the script "ECHO OFF, 01, 02": l select it, e select an
    // empty name, d select a folder, c cancel the dialog, x delete the script, s send, a abort,
    // t one service tick, q shut down.
    void clicksDriveTheScript_data()
    {
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("state"); // ScriptState|status|path shown
        const QString path = dir.filePath(QStringLiteral("s.dwn")), active = "2|Active.|" + path;
        const QStringList run = {"M:### Start Script File: " + path, "E:off", "T:<<- 01 ", "S:01"};
        const QStringList aborted = run + QStringList{"E:on", "M:### Script file aborted."};
        QTest::newRow("runs to the end") << "lsttt" << run + QStringList{"T:<<- 02 ", "S:02", "E:on",
            "M:### Script file completed."} << "1|Completed.|" + path;
        QTest::newRow("send again restarts from the first line")
            << "lstst" << run + QStringList{"M:### Script file stopped.", "E:on"} + run << active;
        QTest::newRow("abort marks the log once") << "lstata" << aborted << "1|Aborted.|" + path;
        QTest::newRow("send after abort starts over") << "lstast" << aborted + run << active;
        QTest::newRow("reselect stops without a marker") << "lstlt" << run + QStringList{"E:on"}
                                                         << "1|Inactive.|" + path;
        QTest::newRow("shutdown closes quietly") << "lstqt" << run << "0|Closed|" + path;
        QTest::newRow("abort and shutdown with nothing selected") << "aq" << QStringList() << "0|untouched|";
        QTest::newRow("cancel clears the selection") << "lc" << QStringList{"D:Script File cancelled."} << "0||";
        QTest::newRow("empty name") << "es" << QStringList(2, "D:No Script file specified.") << "0||";
        QTest::newRow("script deleted before send") << "lxs" << QStringList{"D:Error in starting Script file."}
                                                    << "0||";
        QTest::newRow("folder") << "ds" << QStringList{"D:Error in starting Script file."} << "0||";
    }
    void clicksDriveTheScript()
    {
        QFETCH(QString, clicks);
        const QString path = WriteFile("ECHO OFF\r\n01\r\n02\r\n");
        for (const QChar click : clicks) {
            switch (click.toLatin1()) {
            case 'l': Select(path); break;
            case 'e': Select(QString()); break;
            case 'd': Select(dir.path()); break;
            case 'c': runner->SelectScriptFile_Click(); break; // no answer given: cancelled
            case 'x': QFile::remove(path); break;
            case 's': runner->SendScriptFile_Click(); break;
            case 'a': runner->AbortScriptFile_Click(); break;
            case 't': runner->RunScriptStep(); break;
            case 'q': runner->CloseForShutdown(); break;
            }
        }
        QTEST(host.events, "events");
        QTEST(State(), "state");
    }

    void fileDeletedWhileRunningIsReadToTheEnd()
    {
        Start(QByteArray("01\r\n").repeated(50000));
        runner->RunScriptStep();
        QVERIFY(QFile::remove(runner->ScriptFileName));
        RunToEnd();
        QCOMPARE(runner->ScriptState, qint16(1));
        QCOMPARE(host.sent.size(), 50000);
    }
};

QTEST_GUILESS_MAIN(TestScript)
#include "test_script.moc"
