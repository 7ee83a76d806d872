// Shared pieces of the editor's tests: the real component, registered in a
// registry of the test's own so that the editor creates its object through
// activation as the program does; a scripted stand-in for the dialogs; and
// a started window.
#pragma once

#include <QLocale>
#include <QString>
#include <QTemporaryDir>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include <windows.h>

#include "commands.h"
#include "form.h"

namespace brindle::test {

// Answers each dialog with the next scripted answer (nullopt cancels) and
// records what it was asked. An unscripted dialog cancels.
class ScriptedDialogs : public Dialogs {
 public:
  struct Log {
    std::vector<FileDialogRequest> opens;
    std::vector<FileDialogRequest> saves;
    std::vector<OLE_COLOR> colors;  // the initial colour of each colour dialog
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<OLE_COLOR>> colorAnswers;
    int shown() const { return static_cast<int>(opens.size() + saves.size() + colors.size()); }
  };

  explicit ScriptedDialogs(std::shared_ptr<Log> log) : log_(std::move(log)) {}

  std::optional<QString> ShowOpen(const FileDialogRequest& request) override {
    log_->opens.push_back(request);
    return Next(log_->fileAnswers);
  }
  std::optional<QString> ShowSave(const FileDialogRequest& request) override {
    log_->saves.push_back(request);
    return Next(log_->fileAnswers);
  }
  std::optional<OLE_COLOR> ShowColor(OLE_COLOR initial) override {
    log_->colors.push_back(initial);
    return Next(log_->colorAnswers);
  }

 private:
  template <class T>
  static std::optional<T> Next(std::deque<std::optional<T>>& answers) {
    if (answers.empty()) return std::nullopt;
    const std::optional<T> answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::shared_ptr<Log> log_;
};

// A window over a new settings object, started as the program starts it.
inline std::unique_ptr<Form1> StartedForm(std::shared_ptr<ScriptedDialogs::Log> log) {
  auto form = std::make_unique<Form1>(CreatePreferences, std::make_unique<ScriptedDialogs>(std::move(log)));
  form->Form_Load();
  return form;
}

// What each test program keeps: a registry of its own holding the
// component, the dialogs' log, and a window started anew for each test.
struct Fixture {
  QTemporaryDir dir;
  std::shared_ptr<ScriptedDialogs::Log> dialogs;
  std::unique_ptr<Form1> form;

  // Points the registry at a file in the folder and registers the
  // component built with the tests there.
  bool Register() {
    qputenv("QUILLON_REGISTRY", dir.filePath(QStringLiteral("registry.txt")).toLocal8Bit());
    HMODULE library = dir.isValid() ? LoadLibraryA(QUILLON_COMPONENT_PATH) : nullptr;
    auto registerServer = library ? reinterpret_cast<HRESULT (*)()>(GetProcAddress(library, "DllRegisterServer")) : nullptr;
    const bool registered = registerServer != nullptr && registerServer() == S_OK;
    if (library != nullptr) FreeLibrary(library);
    return registered;
  }
  void Start() {
    QLocale::setDefault(QLocale::c());
    dialogs = std::make_shared<ScriptedDialogs::Log>();
    form = StartedForm(dialogs);
  }
};

// A property of the window's object.
template <class T>
T Stored(Form1& form, HRESULT (STDMETHODCALLTYPE IPreferences::*get)(T*)) {
  T value{};
  (form.Prefs().*get)(&value);
  return value;
}

}  // namespace brindle::test
