#pragma once
#include "app/filedialog.h"
#include <QList>
#include <optional>

// A file dialog answered in advance: each Ask takes the next answer, a name (which
// may be empty) or std::nullopt for a cancel. With no answer left it cancels.
class FakeFileDialog : public FileDialog {
public:
    QList<std::optional<QString>> Answers;

    std::optional<QString> Next() { return Answers.isEmpty() ? std::nullopt : Answers.takeFirst(); }
    bool Ask(const FileRequest &, QString *name) override
    {
        const std::optional<QString> answer = Next();
        *name = answer.value_or(*name);
        return answer.has_value();
    }
};
