#include "qt_dialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

#include "color_swatch.h"

namespace brindle {

namespace {

// A file dialog that returns the file its name field names.
//
// QFileDialog answers with the rows selected in its list when there are
// any, and only otherwise with the typed name. Opened on the file chosen
// last, it selects that file's row; typing another name takes the row's
// selection away only while the name field has the keyboard focus, so keys
// that arrive before the window is active (a fast typist, a script, a busy
// machine) leave the old row selected: the dialog then answered with the
// file loaded last instead of the new name on screen. Here the name field
// decides, as the user reads it.
class FileDialog : public QFileDialog {
  Q_DECLARE_TR_FUNCTIONS(QtDialogs)

 public:
  FileDialog(QWidget* parent, const FileDialogRequest& request, AcceptMode mode)
      : QFileDialog(parent, request.title) {
    // The widget-based dialog on every desktop, so that accept() below
    // always runs.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(mode);
    setFileMode(mode == AcceptSave ? AnyFile : ExistingFile);
    // An existing file is replaced without a question.
    setOption(QFileDialog::DontConfirmOverwrite, true);
    setNameFilters(request.nameFilters);
    if (!request.nameFilters.isEmpty()) {
      selectNameFilter(request.nameFilters.front());
    }
    setDefaultSuffix(request.defaultSuffix);
    if (request.fileName.isEmpty()) {
      setDirectory(request.initialDirectory);
    } else {
      const QFileInfo last(request.fileName);
      setDirectory(last.absolutePath());
      selectFile(last.absoluteFilePath());
    }
  }

  std::optional<QString> Choose() {
    if (exec() != QDialog::Accepted || chosen_.isEmpty()) {
      return std::nullopt;
    }
    return chosen_;
  }

 protected:
  void accept() override {
    const QString path = NamedFile();
    if (path.isEmpty() || QFileInfo(path).isDir()) {
      QFileDialog::accept();  // an empty name or a folder: the dialog moves there
      return;
    }
    if (acceptMode() == AcceptOpen) {
      if (!QFileInfo(path).isFile()) {
        QMessageBox::warning(this, windowTitle(),
                             tr("%1 was not found.").arg(QDir::toNativeSeparators(path)));
        return;
      }
    } else {
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
    }
    chosen_ = path;
    QDialog::accept();
  }

 private:
  // The name field read against the dialog's folder, with the default
  // suffix added to a name typed without one; empty when it is empty.
  QString NamedFile() const {
    const auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QString name = field != nullptr ? field->text() : QString();
    if (name.trimmed().isEmpty()) {
      return {};
    }
    QString path = QDir::cleanPath(directory().absoluteFilePath(name));
    if (QFileInfo(path).suffix().isEmpty() && !QFileInfo::exists(path) &&
        !defaultSuffix().isEmpty()) {
      path += QLatin1Char('.') + defaultSuffix();
    }
    return path;
  }

  QString chosen_;
};

}  // namespace

QString SaveTargetProblem(const QString& path) {
  const QFileInfo target(path);
  const QFileInfo folder(target.absolutePath());
  if (!folder.isDir()) {
    return QtDialogs::tr("The folder %1 does not exist.")
        .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
  }
  if (target.exists()) {
    // A file without any write permission is read-only even for a user who
    // could write it anyway (root).
    const QFile::Permissions write = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (!target.isWritable() || !(target.permissions() & write)) {
      return QtDialogs::tr("%1 is read-only.\nChoose another name.")
          .arg(QDir::toNativeSeparators(path));
    }
    return {};
  }
  if (!folder.isWritable()) {
    return QtDialogs::tr("The folder %1 is write-protected.\nChoose another folder.")
        .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
  }
  return {};
}

std::optional<QString> QtDialogs::ShowOpen(const FileDialogRequest& request) {
  FileDialog dialog(parent_, request, QFileDialog::AcceptOpen);
  return dialog.Choose();
}

std::optional<QString> QtDialogs::ShowSave(const FileDialogRequest& request) {
  FileDialog dialog(parent_, request, QFileDialog::AcceptSave);
  return dialog.Choose();
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
