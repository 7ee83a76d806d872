// The display preview: the device's 160 x 128 screen with its five text
// windows drawn where the form's fields put them, with their alignment, a
// sample text, the font colour and the day or night brightness. It reads
// the form's fields, not the settings object, so it shows what Save would
// store, and it follows every change of those fields. Windows that overlap
// or reach past the screen's edge are marked.
#pragma once

#include <QCoreApplication>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <optional>

#include <Quillon.h>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace brindle {

class ColorSwatch;
class DropDownCombo;
class Form1;

// The device draws text in a fixed character cell of this size (pixels).
inline constexpr int kCellWidth = 6;
inline constexpr int kCellHeight = 8;

// One text window as the fields describe it.
struct PreviewWindow {
  int characters = 0;              // length of the sample text
  std::optional<int> x;            // none: the field holds no number
  std::optional<int> y;
  int alignment = FONT_LEFT;       // Font_JustifyType
};

// Where a window lands on the screen, in device pixels.
struct PreviewBox {
  bool placed = false;  // false when x or y is not a number
  QRect rect;
  bool offScreen = false;
  bool overlaps = false;
};

inline constexpr int kPreviewWindows = 5;

// X is the text's left edge, centre or right edge by its alignment, Y its
// top. Boxes reaching past the screen are off screen; boxes that share a
// pixel overlap.
std::array<PreviewBox, kPreviewWindows> LayOutWindows(
    const std::array<PreviewWindow, kPreviewWindows>& windows);

// The font colour as the display shows it at a brightness (in mCd) out of
// the brightest level.
QColor ShownColor(OLE_COLOR color, int millicandela, int brightest);

class DisplayPreview : public QWidget {
  Q_DECLARE_TR_FUNCTIONS(DisplayPreview)

 public:
  // Reads the fields of form; needs them to exist (call after they are made).
  explicit DisplayPreview(Form1& form, QWidget* parent);

  // Reads the fields again and repaints.
  void Refresh();

  const std::array<PreviewBox, kPreviewWindows>& boxes() const { return boxes_; }
  QColor textColor() const { return textColor_; }
  QCheckBox* night() const { return night_; }
  QLabel* marks() const { return marks_; }
  // The screen's rectangle in this widget and the pixels per device pixel.
  QRect screenRect() const;
  static constexpr int kScale = 2;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Window {
    QString name;
    QString sample;
    const QLineEdit* x;
    const QLineEdit* y;
    const DropDownCombo* align;
  };
  std::optional<int> Coordinate(const QLineEdit* field) const;

  Form1& form_;
  std::array<Window, kPreviewWindows> windows_;
  QCheckBox* night_;
  QLabel* marks_;
  std::array<PreviewBox, kPreviewWindows> boxes_{};
  QColor textColor_;
};

}  // namespace brindle
