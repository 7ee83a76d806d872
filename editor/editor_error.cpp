#include "editor_error.h"

#include <QCoreApplication>

#include <comptr.h>
#include <oleauto.h>

namespace brindle {

namespace {
struct ErrorText {
  Q_DECLARE_TR_FUNCTIONS(EditorError)
};
}  // namespace

QString FormatStatus(HRESULT hr) {
  return QStringLiteral("0x%1").arg(static_cast<quint32>(hr), 8, 16, QLatin1Char('0')).toUpper().replace(
      0, 2, QStringLiteral("0x"));
}

QString TakeErrorText() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, &info) != S_OK || !info) {
    return {};
  }
  BSTR description = nullptr;
  QString text;
  if (SUCCEEDED(info->GetDescription(&description)) && description != nullptr) {
    text = QString::fromUtf16(description, static_cast<qsizetype>(SysStringLen(description)));
  }
  SysFreeString(description);
  return text;
}

void ThrowIfFailed(HRESULT hr, const QString& what) {
  if (SUCCEEDED(hr)) {
    return;
  }
  const QString text = TakeErrorText();
  const QString message =
      text.isEmpty() ? ErrorText::tr("%1 failed (%2)").arg(what, FormatStatus(hr))
                     : ErrorText::tr("%1 failed (%2): %3").arg(what, FormatStatus(hr), text);
  throw EditorError(message, hr);
}

}  // namespace brindle
