#pragma once
#include "app/filedialog.h"
#include <QList>
#include <optional>

// A file dialog answered in advance: each Ask takes the next answer, a name (which
// may be empty) or std::nullopt for a cancel. With no answer left it cancels.
class FakeFileDialog : public FileDialog {
public:
    QList<std::optional<QString>> Answers;
    QList<FileRequest> Requests;

    bool Ask(const FileRequest &request, QString *name) override
    {
        Requests.append(request);
        const std::optional<QString> answer = Answers.isEmpty() ? std::nullopt : Answers.takeFirst();
        if (answer)
            *name = *answer;
        return answer.has_value();
    }
};
