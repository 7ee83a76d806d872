#include "qt_dialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "color_swatch.h"

namespace brindle {

namespace {

void Prepare(QFileDialog& dialog, const FileDialogRequest& request) {
  // The widget-based dialog on every desktop, so that the checks in
  // SaveFileDialog::accept always run.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setNameFilters(request.nameFilters);
  if (!request.nameFilters.isEmpty()) {
    dialog.selectNameFilter(request.nameFilters.front());
  }
  dialog.setDefaultSuffix(request.defaultSuffix);
  if (request.fileName.isEmpty()) {
    dialog.setDirectory(request.initialDirectory);
  } else {
    const QFileInfo last(request.fileName);
    dialog.setDirectory(last.absolutePath());
    dialog.selectFile(last.absoluteFilePath());
  }
}

std::optional<QString> Run(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) {
    return std::nullopt;
  }
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) {
    return std::nullopt;
  }
  return files.front();
}

// The save dialog: asks before it creates a file, refuses read-only targets,
// and replaces an existing file without asking.
class SaveFileDialog : public QFileDialog {
 public:
  SaveFileDialog(QWidget* parent, const QString& title) : QFileDialog(parent, title) {
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setOption(QFileDialog::DontConfirmOverwrite, true);
  }

 protected:
  void accept() override {
    const QStringList files = selectedFiles();
    if (files.isEmpty() || QFileInfo(files.front()).isDir()) {
      QFileDialog::accept();  // opens the folder
      return;
    }
    const QString path = files.front();
    const QString problem = SaveTargetProblem(path);
    if (!problem.isEmpty()) {
      QMessageBox::warning(this, windowTitle(), problem);
      return;
    }
    if (!QFileInfo::exists(path) &&
        QMessageBox::question(this, windowTitle(),
                              tr("%1 does not exist.\nDo you want to create it?")
                                  .arg(QDir::toNativeSeparators(path)),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::Yes) != QMessageBox::Yes) {
      return;
    }
    QFileDialog::accept();
  }
};

}  // namespace

QString SaveTargetProblem(const QString& path) {
  const QFileInfo target(path);
  const QFileInfo folder(target.absolutePath());
  if (!folder.isDir()) {
    return QObject::tr("The folder %1 does not exist.")
        .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
  }
  if (target.exists()) {
    // A file without any write permission is read-only even for a user who
    // could write it anyway (root).
    const QFile::Permissions write = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (!target.isWritable() || !(target.permissions() & write)) {
      return QObject::tr("%1 is read-only.\nChoose another name.")
          .arg(QDir::toNativeSeparators(path));
    }
    return {};
  }
  if (!folder.isWritable()) {
    return QObject::tr("The folder %1 is write-protected.\nChoose another folder.")
        .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
  }
  return {};
}

std::optional<QString> QtDialogs::ShowOpen(const FileDialogRequest& request) {
  QFileDialog dialog(parent_, request.title);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  Prepare(dialog, request);
  return Run(dialog);
}

std::optional<QString> QtDialogs::ShowSave(const FileDialogRequest& request) {
  SaveFileDialog dialog(parent_, request.title);
  Prepare(dialog, request);
  return Run(dialog);
}

std::optional<OLE_COLOR> QtDialogs::ShowColor(OLE_COLOR initial) {
  QColorDialog dialog(ColorFromOle(initial), parent_);
  dialog.setOption(QColorDialog::DontUseNativeDialog, true);
  if (dialog.exec() != QDialog::Accepted) {
    return std::nullopt;
  }
  return OleFromColor(dialog.selectedColor());
}

}  // namespace brindle
