#include "windows/qtfiledialog.h"

#include <QApplication>
#include <QFileDialog>

bool QtFileDialog::Ask(const FileRequest &request, QString *name)
{
    QFileDialog dialog(QApplication::activeWindow(), request.title, request.folder, request.filter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *name = dialog.selectedFiles().value(0);
    return true;
}
