// The window at start-up: its elements, captions, geometry, lists, focus
// and tab order, and what happens when the settings object is missing.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "color_swatch.h"
#include "support.h"

using namespace brindle;
using namespace brindle::test;

class FormTest : public QObject {
  Q_OBJECT

  ComPtr<FakePreferences> fake;
  std::unique_ptr<Form1> form;

  void ShowActive() {
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
  }

  QString FocusName() const {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("<none>");
  }

 private slots:
  void init() {
    fake = MakeFake();
    form = MakeForm(ComPtr<IPreferences>(fake.Get()));
    form->Form_Load();
  }
  void cleanup() {
    form.reset();
    fake.Reset();
  }

  void windowHasItsTitleAndSize() {
    QCOMPARE(form->windowTitle(), QStringLiteral("Brindle V1.02 (beta)"));
    // 11130 x 8460 twips, plus the status line below.
    QCOMPARE(form->width(), 742);
    QCOMPARE(form->StatusLine->y(), 564);
    QCOMPARE(form->height(), 564 + form->StatusLine->height());
    QVERIFY(form->StatusLine->text().isEmpty());
  }

  void groupsSitWhereTheLayoutPutsThem_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Frame2") << "Frame2" << "Configuration" << QRect(120, 120, 1935, 855);
    QTest::newRow("Frame1") << "Frame1" << "VIN digit" << QRect(120, 1080, 1935, 1575);
    QTest::newRow("Frame3") << "Frame3" << "Region" << QRect(120, 2760, 1935, 1215);
    QTest::newRow("Frame6") << "Frame6" << "GPS" << QRect(120, 4200, 2415, 2295);
    QTest::newRow("Frame10") << "Frame10" << "Air Core" << QRect(120, 6720, 2415, 1575);
    QTest::newRow("Frame4") << "Frame4" << "Flags" << QRect(2280, 120, 2175, 3855);
    QTest::newRow("Frame7") << "Frame7" << "Misc" << QRect(2760, 4200, 2655, 4095);
    QTest::newRow("Frame5") << "Frame5" << "Display" << QRect(4680, 120, 3375, 3855);
    QTest::newRow("Frame8") << "Frame8" << "Fuel (Fiero V6 only)" << QRect(5640, 4200, 2415, 2295);
    QTest::newRow("Frame9") << "Frame9" << "Windows" << QRect(8280, 120, 2655, 6375);
  }
  void groupsSitWhereTheLayoutPutsThem() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    auto* group = form->findChild<QGroupBox*>(name);
    QVERIFY(group);
    QCOMPARE(group->title(), caption);
    QCOMPARE(group->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15,
                                      twips.height() / 15));
  }

  void buttonsSitAtTheBottom() {
    const std::pair<QPushButton*, int> buttons[] = {
        {form->Load, 5640}, {form->Save, 7080}, {form->Exit, 9720}};
    for (const auto& [button, left] : buttons) {
      QCOMPARE(button->geometry(), QRect(left / 15, 7800 / 15, 1215 / 15, 495 / 15));
      QVERIFY(!button->isDefault());
    }
    QCOMPARE(form->Load->text(), QStringLiteral("Load"));
    QCOMPARE(form->Save->text(), QStringLiteral("Save"));
    QCOMPARE(form->Exit->text(), QStringLiteral("Exit"));
    QCOMPARE(form->Command1->text(), QStringLiteral("Select"));
  }

  void rowsRunDownEachGroup() {
    // Labels start 120 twips in; rows 360 twips apart from 360 below the top.
    QCOMPARE(form->findChild<QLabel*>("MaxBrightDayLabel")->geometry().topLeft(), QPoint(8, 24));
    QCOMPARE(form->MaxBrightNight->y(), 48);
    QCOMPARE(form->findChild<QLabel*>("SplashTimeLabel")->geometry().topLeft(), QPoint(8, 72));
    QCOMPARE(form->SplashTime->y(), 72);
    QCOMPARE(form->SpeedUpd->y(), 96);
    QCOMPARE(form->Rbalance->y(), 216);
    QVERIFY(form->Rbalance->x() < form->Gbalance->x() && form->Gbalance->x() < form->Bbalance->x());
    QCOMPARE(form->Rbalance->width(), 33);
    QCOMPARE(form->Lkey->width(), 49);
    QCOMPARE(form->Skey->width(), 41);
    QCOMPARE(form->Fontcolor->size(), QSize(49, 17));
    // "Windows": a further 120 twips after each block of three rows.
    QCOMPARE(form->ClockX->y(), 24);
    QCOMPARE(form->ClockAlign->y(), 72);
    QCOMPARE(form->CompassX->y(), 104);
    QCOMPARE(form->InfoAlign->y(), 392);
    // Every element lies inside its group.
    for (QGroupBox* group : form->findChildren<QGroupBox*>()) {
      for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(group->rect().contains(child->geometry()), qPrintable(child->objectName()));
      }
    }
  }

  void captionsFitTheirRows() {
    // No caption is cut: each label, box and button is at least as wide as
    // its text needs with the form's font.
    for (QLabel* label : form->findChildren<QLabel*>()) {
      if (label->text().isEmpty()) continue;
      QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
               qPrintable(label->text()));
    }
    for (QAbstractButton* button : form->findChildren<QAbstractButton*>()) {
      // Push buttons' size hints carry a style minimum; their text needs less.
      const int needed = qobject_cast<QPushButton*>(button)
                             ? button->fontMetrics().horizontalAdvance(button->text()) + 8
                             : button->sizeHint().width();
      QVERIFY2(needed <= button->width(), qPrintable(button->text()));
    }
  }

  void checkBoxesAndOptionsCarryTheirCaptions() {
    QCOMPARE(form->Check1->text(), QStringLiteral("Fahrenheit (Celsius)"));
    QCOMPARE(form->Check2->text(), QStringLiteral("Miles (km)"));
    QCOMPARE(form->Check3->text(), QStringLiteral("4000 (2000) ppm"));
    QCOMPARE(form->Check4->text(), QStringLiteral("12hr (24 hr) clock"));
    QCOMPARE(form->Check5->text(), QStringLiteral("Custom PPM"));
    QCOMPARE(form->GPSInvert->text(), QStringLiteral("Invert polarity"));
    QCOMPARE(form->ProcGGA->text(), QStringLiteral("Process GGA msg"));
    QCOMPARE(form->US->text(), QStringLiteral("United States/CAN"));
    QCOMPARE(form->EMEA->text(), QStringLiteral("Europe/MEA"));
    // No access keys anywhere.
    for (QAbstractButton* button : form->findChildren<QAbstractButton*>()) {
      QVERIFY(!button->text().contains(QLatin1Char('&')));
    }
  }

  void listsHoldExactlyTheirThreeItems() {
    const QStringList brightness = {"60 mCd", "80 mCd", "100 mCd"};
    const QStringList alignment = {"Left", "Center", "Right"};
    const auto items = [](QComboBox* list) {
      QStringList texts;
      for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
      return texts;
    };
    QCOMPARE(items(form->MaxBrightDay), brightness);
    QCOMPARE(items(form->MaxBrightNight), brightness);
    for (QComboBox* list : {form->ClockAlign, form->CompassAlign, form->InfoAlign,
                            form->FuelAlign, form->MpgAlign}) {
      QCOMPARE(items(list), alignment);
    }
  }

  void typedTextSelectsNoEntry() {
    ShowActive();
    form->FuelAlign->setFocus();
    QCOMPARE(form->FuelAlign->currentIndex(), 1);
    QTest::keyClicks(form->FuelAlign->lineEdit(), QStringLiteral("x"));
    QCOMPARE(form->FuelAlign->currentIndex(), -1);
    QVERIFY(form->FuelAlign->currentText().endsWith(QLatin1Char('x')));
    // Typing an item's text selects it neither.
    form->ClockAlign->lineEdit()->clear();
    QTest::keyClicks(form->ClockAlign->lineEdit(), QStringLiteral("Right"));
    QCOMPARE(form->ClockAlign->currentIndex(), -1);
    QCOMPARE(form->ClockAlign->count(), 3);
  }

  void vinBoxesTakeOneCharacter() {
    ShowActive();
    form->VIN4->setFocus();
    form->VIN4->selectAll();
    QTest::keyClicks(form->VIN4, QStringLiteral("AB"));
    QCOMPARE(form->VIN4->text(), QStringLiteral("A"));
    QCOMPARE(form->VIN8->maxLength(), 1);
    QCOMPARE(form->VIN10->maxLength(), 1);
  }

  void fuelScaleIsShownButSwitchedOff() {
    QCOMPARE(form->FuelMul->text(), QStringLiteral("255"));
    QCOMPARE(form->FuelDiv->text(), QStringLiteral("3"));
    for (QWidget* w : std::initializer_list<QWidget*>{form->FuelMul, form->FuelDiv, form->Check6,
                                                      form->Check7, form->Check8}) {
      QVERIFY(w->isVisibleTo(form.get()));
      QVERIFY(!w->isEnabled());
    }
  }

  void focusStartsOnExitAndTabFollowsTheOrder() {
    ShowActive();
    QCOMPARE(FocusName(), QStringLiteral("Exit"));
    // The disabled fuel scale fields and spare boxes are skipped, and the two
    // Region options are one stop, as an exclusive group is.
    const QStringList expected = {
        "Load", "Save", "VIN4", "VIN8", "VIN10", "Check1", "Check2", "Check3", "Check4", "Check5",
        "MaxBrightDay", "SplashTime", "SpeedUpd", "CompassUpd", "SpdThreshold", "Baudrate",
        "GMTOffs", "GPSInvert", "ProcGGA", "SatLockDisp", "IceWarn", "Skey", "Lkey", "CANBaud",
        "LowFuel", "Pulses005", "Rbalance", "Gbalance", "Bbalance", "Command1",
        "MaxBrightNight", "DayNightVolts", "ClockX", "ClockAlign", "CompassX", "CompassAlign",
        "InfoX", "InfoAlign", "ClockY", "CompassY", "InfoY", "FuelX", "FuelY", "FuelAlign",
        "MpgX", "MpgY", "MpgAlign", "CustPPM", "OdoDisplay", "Debounce", "EMEA",
        "Aircore", "AC_Range", "AC_Speed", "Exit"};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
      QTest::keyClick(form->windowHandle(), Qt::Key_Tab);
      visited << FocusName();
    }
    QCOMPARE(visited, expected);
  }

  void spaceOnExitRightAfterStartEndsTheProgram() {
    ShowActive();
    QCOMPARE(FocusName(), QStringLiteral("Exit"));
    QTest::keyClick(form->windowHandle(), Qt::Key_Space);
    QTRY_VERIFY(!form->isVisible());
  }

  void objectIsCreatedOnceOnFirstUse() {
    int created = 0;
    auto fresh = MakeFake();
    Form1 lazy(
        [&](ComPtr<IPreferences>* out) {
          ++created;
          *out = ComPtr<IPreferences>(fresh.Get());
          return S_OK;
        },
        std::make_unique<ScriptedDialogs>(std::make_shared<ScriptedDialogs::Log>()));
    QCOMPARE(created, 0);
    lazy.Form_Load();
    QCOMPARE(created, 1);
    lazy.ApplySettings();
    lazy.ShowSettings();
    QCOMPARE(created, 1);
  }

  void missingComponentStopsStartUpWithAReason() {
    Form1 orphan([](ComPtr<IPreferences>*) { return REGDB_E_CLASSNOTREG; },
                 std::make_unique<ScriptedDialogs>(std::make_shared<ScriptedDialogs::Log>()));
    try {
      orphan.Form_Load();
      QFAIL("start-up went on without the component");
    } catch (const ComponentUnavailable& error) {
      QCOMPARE(error.status(), REGDB_E_CLASSNOTREG);
      QVERIFY2(error.message().contains(QStringLiteral("0x80040154")), qPrintable(error.message()));
      QVERIFY2(error.message().contains(QStringLiteral("quillon register")),
               qPrintable(error.message()));
      QVERIFY(error.message().contains(QStringLiteral("not registered")));
    }
    // The lists were filled before the object was needed.
    QCOMPARE(orphan.MaxBrightDay->count(), 3);
  }
};

QTEST_MAIN(FormTest)
#include "form_test.moc"
