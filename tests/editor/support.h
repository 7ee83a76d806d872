// Shared pieces of the editor's tests: a scripted stand-in for the dialogs
// and a form built around a given settings object.
#pragma once

#include <QString>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include <comptr.h>

#include "commands.h"
#include "fake_preferences.h"
#include "form.h"

namespace brindle::test {

// Answers each dialog with the next scripted answer (nullopt = Cancel) and
// records what it was asked. An unscripted dialog cancels.
class ScriptedDialogs : public Dialogs {
 public:
  struct Log {
    std::vector<FileDialogRequest> opens;
    std::vector<FileDialogRequest> saves;
    std::vector<OLE_COLOR> colors;  // the initial colour of each colour dialog
    std::deque<QString> fileAnswers;  // a null QString cancels
    std::deque<std::optional<OLE_COLOR>> colorAnswers;
    int shown() const {
      return static_cast<int>(opens.size() + saves.size() + colors.size());
    }
  };

  explicit ScriptedDialogs(std::shared_ptr<Log> log) : log_(std::move(log)) {}

  std::optional<QString> ShowOpen(const FileDialogRequest& request) override {
    log_->opens.push_back(request);
    return NextFile();
  }
  std::optional<QString> ShowSave(const FileDialogRequest& request) override {
    log_->saves.push_back(request);
    return NextFile();
  }
  std::optional<OLE_COLOR> ShowColor(OLE_COLOR initial) override {
    log_->colors.push_back(initial);
    if (log_->colorAnswers.empty()) return std::nullopt;
    auto answer = log_->colorAnswers.front();
    log_->colorAnswers.pop_front();
    return answer;
  }

 private:
  std::optional<QString> NextFile() {
    if (log_->fileAnswers.empty() || log_->fileAnswers.front().isNull()) {
      if (!log_->fileAnswers.empty()) log_->fileAnswers.pop_front();
      return std::nullopt;
    }
    const QString answer = log_->fileAnswers.front();
    log_->fileAnswers.pop_front();
    return answer;
  }

  std::shared_ptr<Log> log_;
};

// A form whose settings object is prefs (created lazily, as in the program).
inline std::unique_ptr<Form1> MakeForm(ComPtr<IPreferences> prefs,
                                       std::shared_ptr<ScriptedDialogs::Log> log = nullptr) {
  if (!log) log = std::make_shared<ScriptedDialogs::Log>();
  return std::make_unique<Form1>(
      [prefs](ComPtr<IPreferences>* out) {
        *out = prefs;
        return S_OK;
      },
      std::make_unique<ScriptedDialogs>(log));
}

// A new fake, owned by the returned pointer.
inline ComPtr<FakePreferences> MakeFake() {
  ComPtr<FakePreferences> fake;
  fake.Attach(FakePreferences::Create());
  return fake;
}

}  // namespace brindle::test
