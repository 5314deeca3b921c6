#include "app/startoptions.h"

#include <QCommandLineParser>
#include <cstdio>

namespace {
const char Usage[] = "Usage: quillon [options] [FILE]\n";

const char Description[] =
    "Quillon: a hex terminal for automotive network interface devices. Commands typed as\n"
    "hex byte text go out over a serial port or one TCP connection; every packet the\n"
    "device sends back shows in the traffic window. No option is needed: the window\n"
    "opens with every setting at its default, and settings last for the run only unless\n"
    "saved in a bench file (File > Save Bench File As...). FILE, a bench file (.qbench),\n"
    "puts its settings in place at start; the link opens with \"Initialize\".\n"
    "\n"
    "Qt's window options (-platform NAME, -style NAME, -display DISPLAY, -reverse) are\n"
    "passed to Qt. See also: quillon-run(1), quillon-device(1).";

void Print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}
}

int ParseStartOptions(const QStringList &arguments, StartOptions *options)
{
    QCommandLineParser parser;
    // Qt spells its own options with one dash: -platform is not -p -l -a ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(Description);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // -session is what a desktop session restores Quillon with.
    for (const char *name : {"platform", "style", "display", "session"}) {
        QCommandLineOption qtOption(name, QString(), "VALUE");
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    QCommandLineOption reverse("reverse");
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(reverse);
    parser.addPositionalArgument("FILE", "A bench file (.qbench) to open at start.", "[FILE]");

    const bool parsed = parser.parse(arguments);
    if (parsed && (parser.isSet(help) || parser.isSet("help-all"))) {
        Print(stdout, Usage + parser.helpText().section('\n', 1)); // after Qt's own usage line
        return -1;
    }
    if (parsed && parser.isSet(version)) {
        Print(stdout, "quillon " QUILLON_VERSION "\n");
        return -1;
    }
    const QStringList files = parser.positionalArguments();
    if (!parsed || files.size() > 1) {
        Print(stderr, "quillon: " + (parsed ? QString("give at most one FILE") : parser.errorText()) + '\n');
        Print(stderr, QString(Usage) + "Try 'quillon --help' for more.\n");
        return 2;
    }
    options->BenchFile = files.value(0);
    return 0;
}
