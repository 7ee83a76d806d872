// Errors that end an editor operation: a failing call on the settings
// object, or a field whose text does not convert. Each carries a message a
// user can read; the commands put it on the status line.
#pragma once

#include <QString>

#include <stdexcept>

#include <wtypes.h>

namespace brindle {

class EditorError : public std::runtime_error {
 public:
  EditorError(const QString& message, HRESULT status = E_FAIL)
      : std::runtime_error(message.toStdString()), message_(message), status_(status) {}

  const QString& message() const noexcept { return message_; }
  HRESULT status() const noexcept { return status_; }

 private:
  QString message_;
  HRESULT status_;
};

// "0x80020009": a status as the platform prints it.
QString FormatStatus(HRESULT hr);

// The description the failing call left in this thread's error information,
// or an empty string. Reading it empties the slot.
QString TakeErrorText();

// Throws EditorError for a failing status: "<what> failed (0x...)", followed
// by the component's own description when it gave one.
void ThrowIfFailed(HRESULT hr, const QString& what);

}  // namespace brindle
