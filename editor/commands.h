// The commands behind the four buttons: Load, Save, Select (Command1) and
// Exit. The file dialogs share one state: the path chosen last pre-fills the
// next one. The colour dialog starts from the font colour the swatch shows.
// Load and Save report on the status line what happened; Cancel in a dialog
// changes nothing and says nothing.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include <ocidl.h>

namespace brindle {

class Form1;

// What a file dialog is asked to show.
struct FileDialogRequest {
  QString title;
  QStringList nameFilters;  // the first one is preselected
  QString defaultSuffix;    // given to a name typed without one
  QString initialDirectory;
  QString fileName;         // pre-fills the dialog when not empty
};

// The modal dialogs the commands use. An Open dialog returns only an
// existing file; a Save dialog asks before a file that does not exist is
// created, refuses a read-only target and replaces an existing file without
// asking. Each returns nullopt when the user cancels.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual std::optional<QString> ShowOpen(const FileDialogRequest& request) = 0;
  virtual std::optional<QString> ShowSave(const FileDialogRequest& request) = 0;
  virtual std::optional<OLE_COLOR> ShowColor(OLE_COLOR initial) = 0;
};

// What the file dialogs keep from one command to the next.
struct DialogState {
  QString fileName;  // the full path chosen last
};

class Commands {
  Q_DECLARE_TR_FUNCTIONS(Commands)

 public:
  // programFolder is where the first file dialog opens.
  Commands(Form1& form, std::unique_ptr<Dialogs> dialogs, QString programFolder);

  void Load_Click();
  void Save_Click();
  void Command1_Click();
  void Exit_Click();

  // Reads path into the object and shows it; what happened goes to the
  // status line. Load, a file named at start and a dropped file use it.
  void LoadFile(const QString& path);

  const DialogState& state() const { return state_; }

 private:
  FileDialogRequest FileRequest(const QString& title) const;
  // After a successful write: the form shows what the object stored, and
  // the status line names the fields that came back different.
  void ReportSaved(const QString& path, const QStringList& shownBefore);

  Form1& form_;
  std::unique_ptr<Dialogs> dialogs_;
  QString programFolder_;
  DialogState state_;
};

}  // namespace brindle
