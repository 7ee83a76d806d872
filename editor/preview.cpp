#include "preview.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>

#include "color_swatch.h"
#include "fields.h"
#include "form.h"
#include "numbers.h"

namespace brindle {

namespace {

constexpr int kMargin = 12;  // around the screen, room for off-screen marks
const QColor kMarkColor(230, 40, 40);
const QColor kScreenColor(0, 0, 0);

QRect Place(const PreviewWindow& window) {
  const int width = window.characters * kCellWidth;
  int left = *window.x;
  if (window.alignment == FONT_CENTER) {
    left -= width / 2;
  } else if (window.alignment == FONT_RIGHT) {
    left -= width;
  }
  return QRect(left, *window.y, width, kCellHeight);
}

}  // namespace

std::array<PreviewBox, kPreviewWindows> LayOutWindows(
    const std::array<PreviewWindow, kPreviewWindows>& windows) {
  const QRect screen(0, 0, fields::kScreenWidth, fields::kScreenHeight);
  std::array<PreviewBox, kPreviewWindows> boxes{};
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (!windows[i].x || !windows[i].y) {
      continue;
    }
    boxes[i].placed = true;
    boxes[i].rect = Place(windows[i]);
    boxes[i].offScreen = !screen.contains(boxes[i].rect);
  }
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    for (std::size_t j = i + 1; j < boxes.size(); ++j) {
      if (boxes[i].placed && boxes[j].placed && boxes[i].rect.intersects(boxes[j].rect)) {
        boxes[i].overlaps = boxes[j].overlaps = true;
      }
    }
  }
  return boxes;
}

QColor ShownColor(OLE_COLOR color, int millicandela, int brightest) {
  const QColor full = ColorFromOle(color);
  const double share = brightest > 0 ? std::clamp(double(millicandela) / brightest, 0.0, 1.0) : 1.0;
  return QColor::fromRgbF(float(full.redF() * share), float(full.greenF() * share),
                          float(full.blueF() * share));
}

DisplayPreview::DisplayPreview(Form1& form, QWidget* parent) : QWidget(parent), form_(form) {
  setObjectName(QStringLiteral("Preview"));
  setAccessibleName(tr("Display preview"));
  const QString samples[kPreviewWindows] = {
      tr("12:34"), tr("NE"), tr("27.3"), tr("F 3/4"), tr("Info")};
  for (int id = 0; id < kPreviewWindows; ++id) {
    const auto control = [&](const char* property) {
      return form.ControlOf(*fields::FindByProperty(property, id));
    };
    windows_[id] = Window{form.WindowName(static_cast<Object_Id>(id)), samples[id],
                          static_cast<QLineEdit*>(control("ElementX")),
                          static_cast<QLineEdit*>(control("ElementY")),
                          static_cast<DropDownCombo*>(control("ElementAlignment"))};
  }

  const QRect screen = screenRect();
  night_ = new QCheckBox(tr("Night brightness"), this);
  night_->setObjectName(QStringLiteral("PreviewNight"));
  night_->setGeometry(screen.left(), screen.bottom() + kMargin + 4, screen.width(),
                      night_->sizeHint().height());
  marks_ = new QLabel(this);
  marks_->setObjectName(QStringLiteral("PreviewMarks"));
  marks_->setWordWrap(true);
  marks_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  const int marksTop = night_->geometry().bottom() + 6;
  marks_->setGeometry(screen.left(), marksTop, screen.width(), 4 * fontMetrics().height());
  setMinimumSize(screen.right() + kMargin + 1, marks_->geometry().bottom() + 1);

  const auto refresh = [this] { Refresh(); };
  connect(night_, &QCheckBox::toggled, this, refresh);
  for (const Window& window : windows_) {
    connect(window.x, &QLineEdit::textChanged, this, refresh);
    connect(window.y, &QLineEdit::textChanged, this, refresh);
    connect(window.align, &QComboBox::currentIndexChanged, this, refresh);
  }
  connect(form.MaxBrightDay, &QComboBox::currentIndexChanged, this, refresh);
  connect(form.MaxBrightNight, &QComboBox::currentIndexChanged, this, refresh);
  form.Fontcolor->onChange = refresh;
}

QRect DisplayPreview::screenRect() const {
  return QRect(kMargin, kMargin, fields::kScreenWidth * kScale, fields::kScreenHeight * kScale);
}

std::optional<int> DisplayPreview::Coordinate(const QLineEdit* field) const {
  const std::optional<double> number = ParseNumber(field->text());
  if (!number) {
    return std::nullopt;
  }
  const fields::Field* row = fields::FindField(field->objectName().toStdString());
  const std::optional<std::int32_t> stored = fields::StoredNumber(*row, *number);
  if (!stored) {
    return std::nullopt;
  }
  return *stored;
}

void DisplayPreview::Refresh() {
  std::array<PreviewWindow, kPreviewWindows> described{};
  for (std::size_t i = 0; i < windows_.size(); ++i) {
    const Window& window = windows_[i];
    // A list without a selected entry leaves the alignment as the list last
    // showed it.
    const int entry = window.align->currentIndex() >= 0 ? window.align->currentIndex()
                                                         : window.align->lastEntry();
    described[i] = PreviewWindow{static_cast<int>(window.sample.size()), Coordinate(window.x),
                                 Coordinate(window.y), std::max(entry, 0)};
  }
  boxes_ = LayOutWindows(described);

  const bool night = night_->isChecked();
  const fields::Field& brightness =
      *fields::FindField(night ? "MaxBrightNight" : "MaxBrightDay");
  const QComboBox* list = night ? form_.MaxBrightNight : form_.MaxBrightDay;
  const std::int32_t level = fields::AppliedValue(*brightness.list, list->currentIndex()).value_or(0);
  int millicandela = 0;
  int brightest = 0;
  for (const fields::BrightnessLevel& known : fields::BrightnessLevels()) {
    brightest = std::max(brightest, known.millicandela);
    if (known.value == level) {
      millicandela = known.millicandela;
    }
  }
  textColor_ = ShownColor(form_.Fontcolor->oleColor(), millicandela, brightest);

  QStringList overlapping;
  QStringList offScreen;
  QStringList unplaced;
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    if (!boxes_[i].placed) {
      unplaced << windows_[i].name;
    }
    if (boxes_[i].overlaps) {
      overlapping << windows_[i].name;
    }
    if (boxes_[i].offScreen) {
      offScreen << windows_[i].name;
    }
  }
  QStringList lines;
  if (!overlapping.isEmpty()) {
    lines << tr("Overlapping: %1").arg(overlapping.join(QStringLiteral(", ")));
  }
  if (!offScreen.isEmpty()) {
    lines << tr("Off the screen: %1").arg(offScreen.join(QStringLiteral(", ")));
  }
  if (!unplaced.isEmpty()) {
    lines << tr("Not drawn (position is not a number): %1")
                 .arg(unplaced.join(QStringLiteral(", ")));
  }
  marks_->setText(lines.join(QLatin1Char('\n')));
  setAccessibleDescription(lines.isEmpty() ? tr("All five windows fit on the screen")
                                           : lines.join(QStringLiteral("; ")));
  update();
}

void DisplayPreview::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect screen = screenRect();
  painter.fillRect(screen, kScreenColor);

  QFont cell(QStringLiteral("DejaVu Sans Mono"));
  cell.setStyleHint(QFont::Monospace);
  cell.setPixelSize(kCellHeight * kScale - 2);
  painter.setFont(cell);

  // Each window's cell area in a dim shade of the text colour, its sample
  // text in the colour itself; marks in red on top.
  const QColor shade = QColor::fromRgbF(float(textColor_.redF() * 0.3),
                                        float(textColor_.greenF() * 0.3),
                                        float(textColor_.blueF() * 0.3));
  const auto toWidget = [&](const QRect& device) {
    return QRect(screen.left() + device.left() * kScale, screen.top() + device.top() * kScale,
                 device.width() * kScale, device.height() * kScale);
  };
  painter.save();
  painter.setClipRect(rect());
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    if (!boxes_[i].placed) {
      continue;
    }
    const QRect area = toWidget(boxes_[i].rect);
    painter.fillRect(area.intersected(screen), shade);
    painter.setPen(textColor_);
    painter.save();
    painter.setClipRect(screen);
    painter.drawText(area, Qt::AlignCenter, windows_[i].sample);
    painter.restore();
    if (boxes_[i].overlaps || boxes_[i].offScreen) {
      QPen pen(kMarkColor);
      pen.setStyle(boxes_[i].offScreen ? Qt::DashLine : Qt::SolidLine);
      painter.setPen(pen);
      painter.drawRect(area.adjusted(0, 0, -1, -1));
    }
  }
  painter.restore();
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(screen.adjusted(-1, -1, 0, 0));
}

}  // namespace brindle
