#include "commands.h"

#include <QDir>

#include <utility>

#include <oleauto.h>

#include "color_swatch.h"
#include "editor_error.h"
#include "form.h"

namespace brindle {

namespace {

// The component's own description of the failure when it left one, else a
// fallback; always with the status.
QString Reason(HRESULT hr, const QString& fallback) {
  QString text = TakeErrorText();
  if (text.isEmpty()) {
    text = fallback;
  }
  return QStringLiteral("%1 (%2)").arg(text, FormatStatus(hr));
}

// Calls ReadS19 or WriteS19 with a path.
HRESULT CallWithPath(IPreferences& prefs, HRESULT (IPreferences::*method)(BSTR),
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

}  // namespace

QStringList ConfigNameFilters() {
  return {QStringLiteral("Config Files (*.S19)"), QStringLiteral("All files (*)")};
}

Commands::Commands(Form1& form, std::unique_ptr<Dialogs> dialogs, QString programFolder)
    : form_(form), dialogs_(std::move(dialogs)), programFolder_(std::move(programFolder)) {}

FileDialogRequest Commands::FileRequest(const QString& title) const {
  return FileDialogRequest{title, ConfigNameFilters(), QStringLiteral("S19"), programFolder_,
                           state_.fileName};
}

void Commands::Load_Click() {
  const std::optional<QString> chosen = dialogs_->ShowOpen(FileRequest(kLoadTitle));
  if (!chosen) {
    return;
  }
  state_.fileName = *chosen;
  const QString shown = QDir::toNativeSeparators(*chosen);
  try {
    const HRESULT hr = CallWithPath(form_.Prefs(), &IPreferences::ReadS19, *chosen);
    if (FAILED(hr)) {
      // The read is all or nothing: the object still holds what the form
      // shows.
      form_.SetStatus(QStringLiteral("Could not load %1: %2")
                          .arg(shown, Reason(hr, QStringLiteral("not a readable configuration file"))));
      return;
    }
    form_.ShowSettings();
    form_.SetStatus(QStringLiteral("Loaded %1").arg(shown));
  } catch (const EditorError& error) {
    form_.SetStatus(QStringLiteral("Could not load %1: %2").arg(shown, error.message()));
  }
}

void Commands::Save_Click() {
  try {
    // The object takes the form's values before the dialog opens, so it has
    // them even when the user then cancels.
    form_.ApplySettings();
  } catch (const EditorError& error) {
    form_.SetStatus(QStringLiteral("Not saved: %1").arg(error.message()));
    return;
  }
  const std::optional<QString> chosen = dialogs_->ShowSave(FileRequest(kSaveTitle));
  if (!chosen) {
    return;
  }
  state_.fileName = *chosen;
  const QString shown = QDir::toNativeSeparators(*chosen);
  try {
    const HRESULT hr = CallWithPath(form_.Prefs(), &IPreferences::WriteS19, *chosen);
    if (FAILED(hr)) {
      form_.SetStatus(QStringLiteral("Could not save %1: %2")
                          .arg(shown, Reason(hr, QStringLiteral("the file was not written"))));
      return;
    }
    form_.SetStatus(QStringLiteral("Saved %1").arg(shown));
  } catch (const EditorError& error) {
    form_.SetStatus(QStringLiteral("Could not save %1: %2").arg(shown, error.message()));
  }
}

void Commands::Command1_Click() {
  // The dialog starts from the colour chosen last, not from the swatch.
  const std::optional<OLE_COLOR> chosen = dialogs_->ShowColor(state_.color);
  if (!chosen) {
    return;
  }
  state_.color = *chosen;
  form_.Fontcolor->setOleColor(*chosen);
}

void Commands::Exit_Click() { form_.close(); }

}  // namespace brindle
