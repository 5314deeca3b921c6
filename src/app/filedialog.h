#pragma once
#include <QString>

// What the program asks of the file dialog for script, log and bench files.
struct FileRequest {
    QString title;
    QString initialName;   // pre-filled name box, e.g. "*.log"
    QString filter;        // e.g. "Log Files (*.log)"
    QString defaultSuffix; // added when the typed name has none
    QString folder;        // where the dialog starts
    bool save = false;     // a file to write: the dialog says "Save"
};

// The file dialog behind a small interface, so tests can answer it with names,
// empty names and cancels.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    // Returns false when the user cancels (or the dialog fails); otherwise the
    // chosen name, which may be empty, is in *name.
    virtual bool Ask(const FileRequest &request, QString *name) = 0;
};
