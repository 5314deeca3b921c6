#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "protocol/answerrules.h"

// A command kept under a name, sent from "Bench" > "Commands…".
struct SavedCommand {
    QString name;
    QString command;

    bool operator==(const SavedCommand &other) const { return name == other.name && command == other.command; }
};

// A bench's set-up, as a .qbench file holds it. Every value starts at the start-up
// default, which a field the file leaves out keeps.
struct Bench {
    QString transport = "serial"; // or "ethernet"
    QString address = "192.168.1.70";
    int port = 10001;
    int com = 1;
    QString device; // typed for that COM number; empty: the port found
    int speed = 19200;
    QString key = "00";
    QString match = "05 00 68 6A F1 3F";
    QString command;
    int scriptDelay = 1000;
    bool timestamps = false;
    bool reconnect = false; // "Bench" > "Reconnect When Lost"
    QList<AnswerRule> answers;
    QList<SavedCommand> commands;
};

// The five line speeds; a speed's index from 1 is the ComSpeed that selects it.
const QList<int> &LineSpeeds();

// What reading a bench file gave: the bench, or why the file was refused (then bench
// holds the defaults), and the fields that were not known and left alone.
struct BenchRead {
    Bench bench;
    QString error;
    QStringList ignored; // e.g. "link.colour"
};

BenchRead ReadBench(const QByteArray &json);
// The file at path; a file that cannot be read is refused with the reason.
BenchRead ReadBenchFile(const QString &path);
// Indented JSON that ReadBench reads back to the same bench.
QByteArray WriteBench(const Bench &bench);
// Writes the file whole or not at all; answers why not, or an empty text.
QString WriteBenchFile(const QString &path, const Bench &bench);
