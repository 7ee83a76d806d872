#include "commands.h"

#include <QDir>
#include <QFile>

#include <utility>

#include <oleauto.h>

#include "color_swatch.h"
#include "editor_error.h"
#include "form.h"
#include "mapping.h"
#include "quillon_file.h"
#include "s19_check.h"
#include "s19_reader.h"

namespace brindle {

namespace {

// Calls ReadS19 or WriteS19 with a path.
HRESULT CallWithPath(IPreferences& prefs, HRESULT (STDMETHODCALLTYPE IPreferences::*method)(BSTR),
                     const QString& path) {
  BSTR text = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(path.utf16()),
                                static_cast<UINT>(path.size()));
  if (text == nullptr) {
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = (prefs.*method)(text);
  SysFreeString(text);
  return hr;
}

// The component's own description of the failure when it left one, else a
// fallback; always with the status.
QString Reason(HRESULT hr, const QString& fallback) {
  QString text = TakeErrorText();
  if (text.isEmpty()) {
    text = fallback;
  }
  return Commands::tr("%1 (%2)").arg(text, FormatStatus(hr));
}

// Reading a file skips text that is not a record and leaves bytes no record
// covered at zero, and never compares the image's check value; the person
// loading the file hears about both. Empty when there is nothing to say (or
// the file cannot be read a second time, which the status line then does not
// claim either way).
QString ImageWarning(const QString& path) {
  quillon::file::Reader reader;
  std::string text;
  if (!reader.Open(QFile::encodeName(path).toStdString(), false) || !quillon::file::ReadAll(reader, quillon::kMaxInputBytes, &text)) {
    return {};
  }
  const quillon::ImageCheck check = quillon::CheckS19Text(text);
  QStringList findings;
  if (!check.missing.empty()) {
    QStringList ranges;
    for (const quillon::ImageRange& r : check.missing) {
      ranges << (r.first == r.last ? QString::number(r.first) : QStringLiteral("%1-%2").arg(r.first).arg(r.last));
    }
    findings << Commands::tr("no record held image bytes %1, read as zeros").arg(ranges.join(QStringLiteral(", ")));
  }
  if (!check.checkValuePresent) {
    findings << Commands::tr("the image's check value is missing");
  } else if (!check.CheckValueMatches()) {
    findings << Commands::tr("the image's check value does not match its bytes");
  }
  return findings.join(QStringLiteral("; "));
}

}  // namespace

Commands::Commands(Form1& form, std::unique_ptr<Dialogs> dialogs, QString programFolder)
    : form_(form), dialogs_(std::move(dialogs)), programFolder_(std::move(programFolder)) {}

FileDialogRequest Commands::FileRequest(const QString& title) const {
  // The second filter lists every file, names without a dot included.
  return FileDialogRequest{title,
                           {tr("Config Files (*.S19)"), tr("All files (*)")},
                           QStringLiteral("S19"),
                           programFolder_,
                           state_.fileName};
}

void Commands::Load_Click() {
  const std::optional<QString> chosen =
      dialogs_->ShowOpen(FileRequest(tr("Select Configuration to load")));
  if (chosen) {
    LoadFile(*chosen);
  }
}

void Commands::LoadFile(const QString& path) {
  state_.fileName = path;
  const QString shown = QDir::toNativeSeparators(path);
  try {
    const HRESULT hr = CallWithPath(form_.Prefs(), &IPreferences::ReadS19, path);
    if (FAILED(hr)) {
      // The read is all or nothing: the object still holds what the form
      // shows.
      form_.SetStatus(tr("Could not load %1: %2")
                          .arg(shown, Reason(hr, tr("not a readable configuration file"))));
      return;
    }
    form_.ShowSettings();
    form_.SetFileName(path);
    const QString warning = ImageWarning(path);
    form_.SetStatus(warning.isEmpty() ? tr("Loaded %1").arg(shown)
                                      : tr("Loaded %1; warning: %2").arg(shown, warning));
  } catch (const EditorError& error) {
    form_.SetStatus(tr("Could not load %1: %2").arg(shown, error.message()));
  }
}

void Commands::Save_Click() {
  try {
    // The object takes the form's values before the dialog opens, so it has
    // them even when the user then cancels.
    form_.ApplySettings();
  } catch (const EditorError& error) {
    form_.SetStatus(tr("Not saved: %1").arg(error.message()));
    return;
  }
  const std::optional<QString> chosen =
      dialogs_->ShowSave(FileRequest(tr("Select Configuration to save")));
  if (!chosen) {
    return;
  }
  state_.fileName = *chosen;
  const QString shown = QDir::toNativeSeparators(*chosen);
  const HRESULT hr = CallWithPath(form_.Prefs(), &IPreferences::WriteS19, *chosen);
  if (FAILED(hr)) {
    form_.SetStatus(
        tr("Could not save %1: %2").arg(shown, Reason(hr, tr("the file was not written"))));
    return;
  }
  ReportSaved(*chosen, ShownTexts(form_));
}

void Commands::ReportSaved(const QString& path, const QStringList& shownBefore) {
  const QString shown = QDir::toNativeSeparators(path);
  form_.SetFileName(path);
  form_.SetStatus(tr("Saved %1").arg(shown));
  // A field without a check can hold more than its place in the record
  // keeps; the form now shows what was kept and says where that differs.
  try {
    form_.ShowSettings();
  } catch (const EditorError& error) {
    form_.SetStatus(tr("Saved %1; the form could not show it again: %2").arg(shown, error.message()));
    return;
  }
  const QStringList changed = StoredDifferently(form_, shownBefore);
  if (!changed.isEmpty()) {
    form_.SetStatus(tr("Saved %1; %2").arg(shown, changed.join(QStringLiteral(", "))));
  }
}

void Commands::Command1_Click() {
  const std::optional<OLE_COLOR> chosen = dialogs_->ShowColor(form_.Fontcolor->oleColor());
  if (chosen) {
    form_.Fontcolor->setOleColor(*chosen);
  }
}

void Commands::Exit_Click() { form_.close(); }

}  // namespace brindle
