// The font colour swatch: a label without text whose background shows a
// colour value 0x00BBGGRR. It keeps the value it was given as it is, so a
// value with bits a colour cannot show still goes back to the object
// unchanged.
#pragma once

#include <QLabel>

#include <functional>

#include <ocidl.h>

namespace brindle {

QColor ColorFromOle(OLE_COLOR value);
OLE_COLOR OleFromColor(const QColor& color);

class ColorSwatch : public QLabel {
 public:
  explicit ColorSwatch(QWidget* parent);

  OLE_COLOR oleColor() const noexcept { return value_; }
  void setOleColor(OLE_COLOR value);

  // Called after each change of the colour.
  std::function<void()> onChange;

 private:
  OLE_COLOR value_ = 0;
};

}  // namespace brindle
