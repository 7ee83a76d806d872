#include "color_swatch.h"

namespace brindle {

QColor ColorFromOle(OLE_COLOR value) {
  return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                static_cast<int>((value >> 16) & 0xFFu));
}

OLE_COLOR OleFromColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return static_cast<OLE_COLOR>(rgb.red()) | (static_cast<OLE_COLOR>(rgb.green()) << 8) |
         (static_cast<OLE_COLOR>(rgb.blue()) << 16);
}

ColorSwatch::ColorSwatch(QWidget* parent) : QLabel(parent) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setAutoFillBackground(true);
  setOleColor(0);
}

void ColorSwatch::setOleColor(OLE_COLOR value) {
  value_ = value;
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ColorFromOle(value));
  setPalette(palette);
  setAccessibleDescription(ColorFromOle(value).name());
  if (onChange) {
    onChange();
  }
}

}  // namespace brindle
