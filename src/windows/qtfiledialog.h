#pragma once
#include "app/filedialog.h"

// The platform's file dialog. A name that does not exist yet may be typed,
// since log files are created on first use.
class QtFileDialog : public FileDialog {
public:
    bool Ask(const FileRequest &request, QString *name) override;
};
