#pragma once
#include <QString>
#include <QStringList>

// What quillon was started with.
struct StartOptions {
    QString BenchFile; // the one FILE argument: a bench file to open at start
};

// Parses quillon's arguments without any application object, so that --help and
// --version need no display. Returns 0 with *options filled, 2 after printing the
// usage to stderr, or -1 after printing help or the version to stdout. Qt's own
// window options (-platform, -style, -display, -session, -reverse) are let through
// for QApplication, which takes them.
int ParseStartOptions(const QStringList &arguments, StartOptions *options);
