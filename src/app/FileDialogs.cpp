#include "app/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace {

QString ask(QWidget* parent, const FileRequest& request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, request.title, request.folder);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    if (!request.filters.isEmpty())
        dialog.selectNameFilter(request.filters.first());
    if (!request.suffix.isEmpty())
        dialog.setDefaultSuffix(request.suffix);
    if (!request.name.isEmpty())
        dialog.selectFile(QDir(request.folder).filePath(request.name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

} // namespace

QString ModalFileDialogs::openFile(QWidget* parent, const FileRequest& request)
{
    return ask(parent, request, QFileDialog::AcceptOpen);
}

QString ModalFileDialogs::saveFile(QWidget* parent, const FileRequest& request)
{
    return ask(parent, request, QFileDialog::AcceptSave);
}

bool ModalFileDialogs::choosePrinter(QWidget* parent, QPrinter& printer, int pages)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, pages);
    return dialog.exec() == QDialog::Accepted;
}
