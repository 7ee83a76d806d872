#include "editor_error.h"

#include <comptr.h>
#include <oleauto.h>

namespace brindle {

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
  QString message = QStringLiteral("%1 failed (%2)").arg(what, FormatStatus(hr));
  const QString text = TakeErrorText();
  if (!text.isEmpty()) {
    message += QStringLiteral(": ") + text;
  }
  throw EditorError(message, hr);
}

}  // namespace brindle
