// The field mapping between the form and the settings object: what the
// fields show, what goes back, and where a failure stops the work.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

#include <algorithm>

#include "color_swatch.h"
#include "support.h"

using namespace brindle;
using namespace brindle::test;

class MappingTest : public QObject {
  Q_OBJECT

  ComPtr<FakePreferences> fake;
  std::unique_ptr<Form1> form;

  // A started form around the fake with the given record.
  void Start(const FakeRecord& record = {}) {
    fake = MakeFake();
    fake->record = record;
    form = MakeForm(ComPtr<IPreferences>(fake.Get()));
    form->Form_Load();
    fake->calls.clear();
  }

 private slots:
  void init() { QLocale::setDefault(QLocale::c()); }
  void cleanup() {
    form.reset();
    fake.Reset();
    QLocale::setDefault(QLocale::c());
  }

  void showsTheDefaultsInTheFormsUnits() {
    Start();
    QCOMPARE(form->version->text(), QStringLiteral("0x100"));
    QCOMPARE(form->VIN4->text(), QStringLiteral("F"));
    QCOMPARE(form->VIN8->text(), QStringLiteral("G"));
    QCOMPARE(form->VIN10->text(), QStringLiteral("Y"));
    QVERIFY(form->US->isChecked());
    QVERIFY(!form->EMEA->isChecked());
    // Flags 15: the first four boxes.
    QVERIFY(form->Check1->isChecked() && form->Check2->isChecked() && form->Check3->isChecked() &&
            form->Check4->isChecked());
    QVERIFY(!form->Check5->isChecked());
    QCOMPARE(form->MaxBrightDay->currentIndex(), 2);
    QCOMPARE(form->MaxBrightNight->currentIndex(), 2);
    QCOMPARE(form->SplashTime->text(), QStringLiteral("2"));       // 50 / 25 s
    QCOMPARE(form->SatLockDisp->text(), QStringLiteral("60"));     // 60000 / 1000
    QCOMPARE(form->LowFuel->text(), QStringLiteral("280"));        // 560 / 2
    QCOMPARE(form->DayNightVolts->text(), QStringLiteral("6"));    // 60 / 10 V
    QCOMPARE(form->GMTOffs->text(), QStringLiteral("-5"));
    QCOMPARE(form->AC_Range->text(), QStringLiteral("47104"));
    QCOMPARE(form->Aircore->text(), QStringLiteral("0"));
    QCOMPARE(form->FuelMul->text(), QStringLiteral("255"));
    QCOMPARE(form->FuelDiv->text(), QStringLiteral("3"));
    QCOMPARE(form->CustPPM->text(), QStringLiteral("4000"));       // miles: unchanged
    QCOMPARE(form->Fontcolor->oleColor(), OLE_COLOR{0x00FFFFFF});
    QCOMPARE(form->ClockAlign->currentIndex(), 0);
    QCOMPARE(form->CompassX->text(), QStringLiteral("132"));
    QCOMPARE(form->FuelY->text(), QStringLiteral("114"));
  }

  void versionIsHexadecimalWithoutLeadingZeros_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("caption");
    QTest::newRow("256") << 256 << "0x100";
    QTest::newRow("258") << 258 << "0x102";
    QTest::newRow("0") << 0 << "0x0";
    QTest::newRow("0xABCD") << 0xABCD << "0xABCD";
  }
  void versionIsHexadecimalWithoutLeadingZeros() {
    QFETCH(int, value);
    QFETCH(QString, caption);
    FakeRecord record;
    record.Version = static_cast<std::uint16_t>(value);
    Start(record);
    QCOMPARE(form->version->text(), caption);
  }

  void unchangedFormWritesBackEveryValue() {
    // Values chosen so that every list maps back to itself and every bit
    // outside the boxes is set.
    FakeRecord record;
    record.Flags = 0xFFFF;
    record.NMEAFlags = 0x7E;
    record.BrightnessDay = 8;
    record.BrightnessNight = 9;
    record.Region = 1;
    record.SplashTime = 37;
    record.SatTime = 12345;
    record.RefuelWarning = 999;
    record.Ill_min_volt = 123;
    record.IceWarning = -10;
    record.ColorBalance = {-128, 5, 127};
    record.FontColor = 0x80000005;  // a value a colour cannot show, kept as it is
    record.Aircore = 0xB800;        // negative through the 16-bit property
    record.PPMDividend = 12345;
    record.VINDigits = {'X', '7', 'z'};
    record.Elements[WIN_FUEL] = {200, 250, 2};
    Start(record);
    form->ApplySettings();
    QVERIFY(fake->record == record);
  }

  void roundTripNormalisesOnlyOutOfListValues() {
    FakeRecord record;
    record.BrightnessDay = 10;
    record.BrightnessNight = 10;
    record.Elements[WIN_MPG].Alignment = 7;
    record.Region = 5;
    Start(record);
    QCOMPARE(form->MaxBrightDay->currentText(), QStringLiteral("100 mCd"));
    QCOMPARE(form->MaxBrightNight->currentText(), QStringLiteral("60 mCd"));
    QCOMPARE(form->MpgAlign->currentText(), QStringLiteral("Center"));
    QVERIFY(form->EMEA->isChecked());
    form->ApplySettings();
    FakeRecord expected = record;
    expected.BrightnessDay = 11;
    expected.BrightnessNight = 8;
    expected.Elements[WIN_MPG].Alignment = FONT_CENTER;
    expected.Region = 1;
    QVERIFY(fake->record == expected);
  }

  void brightnessListsMapTheirEntries() {
    Start();
    const std::pair<int, std::uint8_t> entries[] = {{0, 8}, {1, 9}, {2, 11}, {-1, 11}};
    for (const auto& [entry, value] : entries) {
      form->MaxBrightDay->setCurrentIndex(entry);
      form->MaxBrightNight->setCurrentIndex(entry);
      form->ApplySettings();
      QCOMPARE(fake->record.BrightnessDay, value);
      QCOMPARE(fake->record.BrightnessNight, value);
    }
  }

  void alignmentWithoutEntryIsLeftAlone() {
    FakeRecord record;
    record.Elements[WIN_COMPASS].Alignment = FONT_RIGHT;
    Start(record);
    form->CompassAlign->setCurrentIndex(-1);
    form->ClockAlign->setCurrentIndex(2);
    form->ApplySettings();
    QCOMPARE(fake->record.Elements[WIN_COMPASS].Alignment, std::uint8_t{FONT_RIGHT});
    QCOMPARE(fake->record.Elements[WIN_CLOCK].Alignment, std::uint8_t{FONT_RIGHT});
    const auto puts = fake->Puts();
    QVERIFY(std::find(puts.begin(), puts.end(), "put_ElementAlignment(1)") == puts.end());
  }

  void scaledFieldsRoundHalvesToEven_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("stored");
    QTest::newRow("splash 2.5 -> 62.5 -> 62") << "SplashTime" << "2.5" << 62;
    QTest::newRow("splash 1.5 -> 37.5 -> 38") << "SplashTime" << "1.5" << 38;
    QTest::newRow("splash 1.2 -> 30") << "SplashTime" << "1.2" << 30;
    QTest::newRow("low fuel 12.25 -> 24") << "LowFuel" << "12.25" << 24;
    QTest::newRow("low fuel 12.75 -> 26") << "LowFuel" << "12.75" << 26;
    QTest::newRow("volts 0.05 -> 0") << "DayNightVolts" << "0.05" << 0;
    QTest::newRow("volts 0.15 -> 2") << "DayNightVolts" << "0.15" << 2;
    QTest::newRow("sat 0.0005 -> 0") << "SatLockDisp" << "0.0005" << 0;
    QTest::newRow("sat 0.0015 -> 2") << "SatLockDisp" << "0.0015" << 2;
    QTest::newRow("integer 12.5 -> 12") << "SpeedUpd" << "12.5" << 12;
    QTest::newRow("integer 13.5 -> 14") << "SpeedUpd" << "13.5" << 14;
    QTest::newRow("integer -2.5 -> -2") << "GMTOffs" << "-2.5" << -2;
    QTest::newRow("blanks around") << "SpeedUpd" << " 42 " << 42;
    QTest::newRow("exponent") << "SpeedUpd" << "1e3" << 1000;
  }
  void scaledFieldsRoundHalvesToEven() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, stored);
    Start();
    form->findChild<QLineEdit*>(field)->setText(text);
    form->ApplySettings();
    const FakeRecord& r = fake->record;
    const int actual = field == "SplashTime"      ? r.SplashTime
                       : field == "LowFuel"       ? r.RefuelWarning
                       : field == "DayNightVolts" ? r.Ill_min_volt
                       : field == "SatLockDisp"   ? r.SatTime
                       : field == "SpeedUpd"      ? r.SpeedUpdate
                                                  : r.TimeZoneOffset;
    QCOMPARE(actual, stored);
  }

  void scaledTextFollowsTheLocale() {
    FakeRecord record;
    record.SplashTime = 30;
    Start(record);
    QCOMPARE(form->SplashTime->text(), QStringLiteral("1.2"));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    form->ShowSettings();
    QCOMPARE(form->SplashTime->text(), QStringLiteral("1,2"));
    QCOMPARE(form->SatLockDisp->text(), QStringLiteral("60"));
    form->SplashTime->setText(QStringLiteral("2,5"));
    form->ApplySettings();
    QCOMPARE(int(fake->record.SplashTime), 62);
    // A point is no decimal separator here, and no group separator either.
    form->SplashTime->setText(QStringLiteral("2.5"));
    QVERIFY_THROWS_EXCEPTION(EditorError, form->ApplySettings());
  }

  void customPpmFollowsTheMilesBit() {
    FakeRecord record;
    record.Flags = 0;  // kilometres
    record.PPMKM = 2486;
    Start(record);
    QCOMPARE(form->CustPPM->text(), QStringLiteral("4000"));  // 2486 * 1.609 = 3999.97
    form->ApplySettings();
    QCOMPARE(int(fake->record.PPMKM), 2486);  // 4000 / 1.609 = 2486.02

    record.Flags = 2;  // miles
    Start(record);
    QCOMPARE(form->CustPPM->text(), QStringLiteral("2486"));
    form->ApplySettings();
    QCOMPARE(int(fake->record.PPMKM), 2486);
  }

  void tickingMilesBeforeApplyTakesTheTextUnchanged() {
    FakeRecord record;
    record.Flags = 0;
    record.PPMKM = 2486;
    Start(record);
    form->Check2->setChecked(true);
    form->ApplySettings();
    QCOMPARE(int(fake->record.PPMKM), 4000);
    QCOMPARE(int(fake->record.Flags), 2);
  }

  void flagBitsWithoutBoxesAreKept() {
    FakeRecord record;
    record.Flags = 0xE5;
    record.NMEAFlags = 0xFF;
    Start(record);
    QVERIFY(form->Check1->isChecked());
    QVERIFY(!form->Check2->isChecked());
    QVERIFY(form->Check3->isChecked());
    QVERIFY(!form->Check4->isChecked());
    QVERIFY(!form->Check5->isChecked());
    QVERIFY(form->ProcGGA->isChecked());
    QVERIFY(form->GPSInvert->isChecked());
    for (QCheckBox* box : {form->Check1, form->Check3, form->ProcGGA, form->GPSInvert}) {
      box->setChecked(false);
    }
    form->ApplySettings();
    QCOMPARE(int(fake->record.Flags), 0xE0);
    QCOMPARE(int(fake->record.NMEAFlags), 0x7E);
    // The spare boxes belong to no bit.
    form->Check6->setChecked(true);
    form->ApplySettings();
    QCOMPARE(int(fake->record.Flags), 0xE0);
  }

  void eachBitIsAReadAndAWriteInTableOrder() {
    Start();
    form->ApplySettings();
    std::vector<std::string> flagCalls;
    for (const std::string& call : fake->calls) {
      if (call.find("Flags") != std::string::npos && call.find("NMEA") == std::string::npos) {
        flagCalls.push_back(call);
      }
    }
    // Rows 4-8, then row 48 reads the bit.
    const std::vector<std::string> expected = {
        "get_Flags", "put_Flags", "get_Flags", "put_Flags", "get_Flags", "put_Flags",
        "get_Flags", "put_Flags", "get_Flags", "put_Flags", "get_Flags"};
    QCOMPARE(flagCalls, expected);
  }

  void emptyVinBoxSendsABlank() {
    Start();
    form->VIN4->setText(QStringLiteral("A"));
    form->VIN8->clear();
    form->VIN10->setText(QStringLiteral("C"));
    form->ApplySettings();
    QCOMPARE(fake->lastVin, std::u16string(u"1G A     C 000001"));
    QCOMPARE(fake->record.VINDigits[0], std::uint8_t{'A'});
    QCOMPARE(fake->record.VINDigits[1], std::uint8_t{' '});
    QCOMPARE(fake->record.VINDigits[2], std::uint8_t{'C'});
  }

  void shortVinLeavesLaterBoxesEmpty() {
    FakeRecord record;
    record.VINDigits = {'Q', 0, 'R'};  // a zero byte ends the text after 7 characters
    Start(record);
    QCOMPARE(form->VIN4->text(), QStringLiteral("Q"));
    QCOMPARE(form->VIN8->text(), QString());
    QCOMPARE(form->VIN10->text(), QString());
  }

  void unconvertibleFieldStopsApplyAtItsRow() {
    Start();
    form->FuelX->clear();
    form->Debounce->setText(QStringLiteral("99"));
    try {
      form->ApplySettings();
      QFAIL("ApplySettings accepted an empty FuelX");
    } catch (const EditorError& error) {
      QVERIFY2(error.message().contains(QStringLiteral("FuelX")), qPrintable(error.message()));
    }
    const auto puts = fake->Puts();
    QVERIFY(!puts.empty());
    // Rows 2 to 41 are written; row 42 is where it stopped.
    QCOMPARE(puts.front(), std::string("put_VIN"));
    QCOMPARE(puts.back(), std::string("put_ElementAlignment(4)"));
    QVERIFY(std::find(puts.begin(), puts.end(), "put_ElementX(3)") == puts.end());
    QCOMPARE(int(fake->record.Debounce), 50);  // row 50 never ran
  }

  void sixteenBitFieldsRefuseWiderValues() {
    Start();
    form->Aircore->setText(QStringLiteral("40000"));
    QVERIFY_THROWS_EXCEPTION(EditorError, form->ApplySettings());
    // The same text converts in a 32-bit field (the object keeps 8 bits).
    Start();
    form->FuelX->setText(QStringLiteral("40000"));
    form->ApplySettings();
    QCOMPARE(int(fake->record.Elements[WIN_FUEL].X), 40000 & 0xFF);
    form->Aircore->setText(QStringLiteral("-32768"));
    form->ApplySettings();
    QCOMPARE(int(fake->record.Aircore), 0x8000);
  }

  void notANumberIsRefused_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("letters") << "12a";
    QTest::newRow("empty") << "";
    QTest::newRow("blank") << " ";
    QTest::newRow("inf") << "inf";
    QTest::newRow("nan") << "nan";
    QTest::newRow("group separator") << "1,000";
    QTest::newRow("beyond 32 bits") << "3000000000";
  }
  void notANumberIsRefused() {
    QFETCH(QString, text);
    Start();
    form->FuelY->setText(text);
    QVERIFY_THROWS_EXCEPTION(EditorError, form->ApplySettings());
  }

  void failingCallEndsShowWithItsStatus() {
    FakeRecord record;
    record.AircoreTestRange = 1234;
    Start(record);
    form->AC_Range->setText(QStringLiteral("unchanged"));
    fake->failOn = "get_Debounce";
    fake->failStatus = E_INVALIDARG;
    try {
      form->ShowSettings();
      QFAIL("ShowSettings ignored a failing call");
    } catch (const EditorError& error) {
      QCOMPARE(error.status(), E_INVALIDARG);
      QVERIFY2(error.message().contains(QStringLiteral("get_Debounce")) &&
                   error.message().contains(QStringLiteral("0x80070057")),
               qPrintable(error.message()));
    }
    QCOMPARE(form->AC_Range->text(), QStringLiteral("unchanged"));
  }

  void failingPutEndsApply() {
    Start();
    fake->failOn = "put_SatTime";
    QVERIFY_THROWS_EXCEPTION(EditorError, form->ApplySettings());
    const auto puts = fake->Puts();
    QCOMPARE(puts.back(), std::string("put_SatTime"));
  }

  void timeZoneOffsetRoundTrips() {
    Start();
    QCOMPARE(form->GMTOffs->text(), QStringLiteral("-5"));
    form->ApplySettings();
    QCOMPARE(int(fake->record.TimeZoneOffset), -5);
  }
};

QTEST_MAIN(MappingTest)
#include "mapping_test.moc"
