// The window as a user meets it, driven through the window's own event
// paths (keys and clicks go to the QWindow, so Qt's focus handling runs as
// it does for a person): start-up, the tab order, lists, buttons, the focus
// veto, what a refused field says, names for assistive tools, captions
// that fit, and the display preview.
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStyleOptionComboBox>
#include <QWheelEvent>
#include <QtTest>

#include "preview.h"
#include "support.h"

using namespace brindle;
using namespace brindle::test;

class WindowTest : public QObject, public Fixture {
  Q_OBJECT

  void ShowActive() {
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
  }
  static QString FocusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("<none>");
  }
  QPoint CentreOf(QWidget* widget) const {
    return widget->mapTo(form.get(), widget->rect().center());
  }
  void Click(QWidget* widget) {
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, CentreOf(widget));
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(form->windowHandle(), Qt::Key(key), modifiers);
  }
  // Gives a field the focus and types text into it, as a person would.
  void Type(QWidget* field, const QString& text) {
    field->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), field->focusProxy() ? field->focusProxy() : field);
    if (auto* edit = qobject_cast<QLineEdit*>(field)) {
      edit->selectAll();
    } else if (auto* list = qobject_cast<QComboBox*>(field)) {
      list->lineEdit()->selectAll();
    }
    for (const QChar c : text) {
      QTest::keyClick(form->windowHandle(), c.toLatin1());
    }
  }
  bool Refused(QLineEdit* field) const {
    return form->focusWidget() == field && field->selectedText() == field->text();
  }

 private slots:
  void initTestCase() { QVERIFY(Register()); }
  void init() { Start(); }
  void cleanup() { form.reset(); }

  // ---- Start-up and layout ---------------------------------------------

  // The focus starts on Exit; Tab skips the disabled fuel scale and the
  // spare boxes, makes the Region options one stop (regionTabStop...), and
  // comes back round to Exit, each control visited once.
  void tabCyclesThroughTheEnabledControlsFromExit() {
    ShowActive();
    QStringList visited = {FocusName()};
    for (int i = 0; i < 100 && (visited.size() == 1 || visited.last() != QStringLiteral("Exit")); ++i) {
      Key(Qt::Key_Tab);
      visited << FocusName();
    }
    QCOMPARE(visited.first(), QStringLiteral("Exit"));
    QCOMPARE(visited.last(), QStringLiteral("Exit"));
    visited.removeLast();
    QCOMPARE(visited.removeDuplicates(), 0);
    for (const char* skipped : {"Check6", "Check7", "Check8", "FuelMul", "FuelDiv", "EMEA"}) {
      QVERIFY2(!visited.contains(QLatin1String(skipped)), skipped);
    }
    for (const auto& [from, to] : {std::pair{"Check5", "MaxBrightDay"}, {"Command1", "MaxBrightNight"},
                                   {"Debounce", "US"}, {"US", "Aircore"}, {"Load", "Save"}}) {
      QCOMPARE(visited.value(visited.indexOf(QLatin1String(from)) + 1), QLatin1String(to));
    }
  }

  void regionTabStopFollowsTheSelection() {
    ShowActive();
    Click(form->EMEA);
    QVERIFY(form->EMEA->isChecked());
    form->Debounce->setFocus();
    Key(Qt::Key_Tab);
    QCOMPARE(FocusName(), QStringLiteral("EMEA"));
    form->ShowSettings();  // a new object: United States
    form->Debounce->setFocus();
    Key(Qt::Key_Tab);
    QCOMPARE(FocusName(), QStringLiteral("US"));
    Key(Qt::Key_Space);
    QVERIFY(form->US->isChecked());
    Key(Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(FocusName(), QStringLiteral("Debounce"));
  }

  void captionsFit() {
    // Each caption fits its place at the form's font, whatever fonts the
    // machine has (this test also runs with DejaVu fonts only, and then
    // makes sure the form got one of them), and each element stays inside
    // its group.
    for (QGroupBox* group : form->findChildren<QGroupBox*>()) {
      for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(group->rect().contains(child->geometry()), qPrintable(child->objectName()));
      }
    }
    const QString family = qEnvironmentVariable("BRINDLE_TEST_FONT_FAMILY");
    QVERIFY2(family.isEmpty() || QFontInfo(form->font()).family().startsWith(family),
             qPrintable(QFontInfo(form->font()).family()));
    QStyle* style = form->style();
    const int indicator = style->pixelMetric(QStyle::PM_IndicatorWidth) +
                          style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    QStringList cut;
    const auto need = [&](const QWidget* w, const QString& text, int extra, int room) {
      if (w->fontMetrics().horizontalAdvance(text) + extra > room) {
        cut << QStringLiteral("%1 (%2 > %3)")
                   .arg(text)
                   .arg(w->fontMetrics().horizontalAdvance(text) + extra)
                   .arg(room);
      }
    };
    for (QLabel* label : form->findChildren<QLabel*>()) {
      if (!label->wordWrap()) need(label, label->text(), 0, label->contentsRect().width());
    }
    for (QAbstractButton* box : form->findChildren<QAbstractButton*>()) {
      need(box, box->text(), qobject_cast<QPushButton*>(box) ? 8 : indicator, box->width());
    }
    for (QGroupBox* group : form->findChildren<QGroupBox*>()) {
      need(group, group->title(), 0, group->width());
    }
    for (QComboBox* list : form->findChildren<QComboBox*>()) {
      QStyleOptionComboBox option;
      option.initFrom(list);
      option.editable = true;
      const int room =
          style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
              .width();
      for (int i = 0; i < list->count(); ++i) need(list, list->itemText(i), 0, room);
    }
    QVERIFY2(cut.isEmpty(), qPrintable(QFontInfo(form->font()).family() + QStringLiteral(": ") +
                                       cut.join(QStringLiteral("; "))));
  }

  void everyControlHasANameAndEveryCaptionItsField() {
    for (QWidget* widget : form->findChildren<QWidget*>()) {
      if (widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(form.get()) ||
          qobject_cast<QAbstractItemView*>(widget) || widget->parent()->inherits("QComboBox")) {
        continue;
      }
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
      QVERIFY(accessible);
      QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
    }
    QCOMPARE(form->findChild<QLabel*>(QStringLiteral("FuelAlignLabel"))->buddy(), form->FuelAlign);
    QCOMPARE(form->SplashTime->toolTip(),
             QStringLiteral("Splash duration (sec): a number from 1 to 10 seconds"));
    QCOMPARE(form->Gbalance->toolTip(),
             QStringLiteral("Color balance, green: a number from -128 to 127"));
    QVERIFY(form->FuelX->toolTip().isEmpty());
  }

  void typedItemTextSelectsNoEntryWhenTheFocusLeaves() {
    form->Prefs().put_BrightnessDay(9);  // 80 mCd: no entry is written as 11
    form->ShowSettings();
    ShowActive();
    Type(form->MaxBrightDay, QStringLiteral("60 mCd"));
    QCOMPARE(form->MaxBrightDay->currentIndex(), -1);
    Key(Qt::Key_Tab);
    QCOMPARE(FocusName(), QStringLiteral("SplashTime"));
    QCOMPARE(form->MaxBrightDay->currentIndex(), -1);
    QCOMPARE(form->MaxBrightDay->currentText(), QStringLiteral("60 mCd"));
    Type(form->CompassAlign, QStringLiteral("Right"));
    Key(Qt::Key_Return);
    Key(Qt::Key_Tab);
    QCOMPARE(form->CompassAlign->currentIndex(), -1);
    form->ApplySettings();
    QCOMPARE(Stored(*form, &IPreferences::get_BrightnessDay), 11);
    Font_JustifyType align{};
    form->Prefs().get_ElementAlignment(WIN_COMPASS, &align);
    QCOMPARE(int(align), int(FONT_CENTER));
  }

  void returnAndEnterPressTheFocusedButton() {
    ShowActive();
    form->Load->setFocus();
    Key(Qt::Key_Return);
    QTRY_COMPARE(dialogs->opens.size(), std::size_t{1});
    form->Command1->setFocus();
    Key(Qt::Key_Enter, Qt::KeypadModifier);
    QTRY_COMPARE(dialogs->colors.size(), std::size_t{1});
    form->Exit->setFocus();
    Key(Qt::Key_Return);
    QTRY_VERIFY(!form->isVisible());
  }

  // ---- The focus veto ----------------------------------------------------

  // The veto holds while another window is active: the click that brings
  // the window back lands on Save and does nothing.
  void refusedFieldKeepsTheFocusAndSaysWhatItAccepts() {
    ShowActive();
    form->SetStatus(QStringLiteral("Loaded x"));
    Type(form->SplashTime, QStringLiteral("0"));
    Key(Qt::Key_Tab);
    QVERIFY(Refused(form->SplashTime));
    QCOMPARE(form->Status(), QStringLiteral("Splash duration (sec): a number from 1 to 10 seconds"));
    Key(Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(Refused(form->SplashTime));
    {
      QWidget other;
      other.show();
      other.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&other));
      Click(form->Save);
      QCOMPARE(dialogs->shown(), 0);
      QVERIFY(Refused(form->SplashTime));
      QCOMPARE(Stored(*form, &IPreferences::get_SplashTime), 50);
    }
    ShowActive();
    // Typing replaces the selected text; then the focus may go, and the
    // status line says again what it said before.
    Key('3');
    Key(Qt::Key_Tab);
    QCOMPARE(FocusName(), QStringLiteral("SpeedUpd"));
    QCOMPARE(form->SplashTime->text(), QStringLiteral("3"));
    QCOMPARE(form->Status(), QStringLiteral("Loaded x"));
  }

  // A refused field keeps the focus against clicks elsewhere, the wheel
  // over a list and shortcuts, none of which acts; closing the window still
  // works. (A click on Save after a good value is the smoke test's.)
  void clicksAndShortcutsNeitherFocusNorAct() {
    ShowActive();
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), form.get());
    int hits = 0;
    connect(shortcut, &QShortcut::activated, this, [&] { ++hits; });
    Type(form->Baudrate, QStringLiteral("abc"));
    const bool checked = form->Check5->isChecked();
    Click(form->Check5);
    QCOMPARE(form->Check5->isChecked(), checked);
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, CentreOf(form->Skey));
    Click(form->MaxBrightNight);
    QVERIFY(!form->MaxBrightNight->view()->isVisible());
    Click(form->EMEA);
    QVERIFY(form->US->isChecked());
    {
      // A wheel event that is not the system's own stops at the widget it
      // is given to, so what is seen is whether it gets past the window.
      struct WheelCount : QObject {
        int seen = 0;
        bool eventFilter(QObject*, QEvent* event) override {
          seen += event->type() == QEvent::Wheel;
          return false;
        }
      } count;
      QWidget* const list = form->childAt(CentreOf(form->MpgAlign));
      QVERIFY(list != nullptr);
      list->installEventFilter(&count);
      const QPointF over = CentreOf(form->MpgAlign);
      QWheelEvent wheel(over, form->mapToGlobal(over), {}, QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                        Qt::NoScrollPhase, false);
      QCoreApplication::sendEvent(form->windowHandle(), &wheel);
      QCOMPARE(count.seen, 0);
    }
    Click(form->Save);
    Click(form->Preview->night());
    QVERIFY(!form->Preview->night()->isChecked());
    Key(Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(hits, 0);
    QCOMPARE(dialogs->shown(), 0);
    QVERIFY(Refused(form->Baudrate));
    // A click inside the field itself is no attempt to leave.
    Click(form->Baudrate);
    QCOMPARE(FocusName(), QStringLiteral("Baudrate"));
    QVERIFY(form->windowHandle()->close());
    QVERIFY(!form->isVisible());
  }

  // ---- The display preview ---------------------------------------------

  void previewLaysOutWindowsByAlignment() {
    std::array<PreviewWindow, kPreviewWindows> windows{};
    windows[0] = {5, 0, 7, FONT_LEFT};        // 30 x 8 from the left edge
    windows[1] = {2, 132, 7, FONT_CENTER};    // 12 wide around x 132
    windows[2] = {4, 159, 120, FONT_RIGHT};   // ends at x 159
    windows[3] = {3, 150, 0, FONT_LEFT};      // runs past the right edge
    windows[4] = {4, std::nullopt, 7, FONT_LEFT};
    const auto boxes = LayOutWindows(windows);
    QCOMPARE(boxes[0].rect, QRect(0, 7, 30, 8));
    QCOMPARE(boxes[1].rect, QRect(126, 7, 12, 8));
    QCOMPARE(boxes[2].rect, QRect(135, 120, 24, 8));
    QVERIFY(!boxes[2].offScreen && boxes[3].offScreen);
    QVERIFY(!boxes[4].placed);
    QVERIFY(!boxes[0].overlaps && !boxes[1].overlaps);
    windows[1] = {2, 29, 14, FONT_LEFT};      // shares the pixel (29, 14)
    const auto touching = LayOutWindows(windows);
    QVERIFY(touching[0].overlaps && touching[1].overlaps && !touching[2].overlaps);
  }

  // (The font colour at day and night brightness is the smoke test's.)
  void previewFollowsTheFieldsAsTyped() {
    // The default windows of mpg and info share a place.
    QVERIFY(form->Preview->boxes()[WIN_MPG].overlaps && form->Preview->boxes()[WIN_INFO].overlaps);
    QVERIFY(form->Preview->marks()->text().contains(QStringLiteral("Overlapping: Mpg, Info")));
    ShowActive();
    Type(form->ClockX, QStringLiteral("100"));
    QCOMPARE(form->Preview->boxes()[WIN_CLOCK].rect, QRect(100, 7, 30, 8));
    Type(form->ClockY, QStringLiteral("12.5"));  // Save would store 12
    QCOMPARE(form->Preview->boxes()[WIN_CLOCK].rect.top(), 12);
    Type(form->FuelX, QStringLiteral("150"));
    QVERIFY(form->Preview->boxes()[WIN_FUEL].offScreen);
    QVERIFY(form->Preview->marks()->text().contains(QStringLiteral("Off the screen: Fuel")));
    Type(form->FuelX, QStringLiteral("x"));
    QVERIFY(!form->Preview->boxes()[WIN_FUEL].placed);
    form->ClockAlign->setCurrentIndex(FONT_RIGHT);
    QCOMPARE(form->Preview->boxes()[WIN_CLOCK].rect.right(), 99);
    // Typed text in the list changes nothing: Save keeps the alignment.
    Type(form->ClockAlign, QStringLiteral("Left"));
    QCOMPARE(form->Preview->boxes()[WIN_CLOCK].rect.right(), 99);
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
