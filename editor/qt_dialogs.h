// The dialogs as the user sees them: QFileDialog and QColorDialog objects.
#pragma once

#include <QCoreApplication>

#include "commands.h"

class QWidget;

namespace brindle {

class QtDialogs : public Dialogs {
  Q_DECLARE_TR_FUNCTIONS(QtDialogs)

 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}

  // The dialogs need their parent window, which exists only after the
  // commands are made.
  void setParent(QWidget* parent) { parent_ = parent; }

  std::optional<QString> ShowOpen(const FileDialogRequest& request) override;
  std::optional<QString> ShowSave(const FileDialogRequest& request) override;
  std::optional<OLE_COLOR> ShowColor(OLE_COLOR initial) override;

 private:
  QWidget* parent_;
};

// Why a save dialog must not return path, or an empty string when it may.
// A missing folder, a read-only file and a folder that cannot be written
// are refused; a file that does not exist yet is fine (the dialog asks first).
QString SaveTargetProblem(const QString& path);

}  // namespace brindle
