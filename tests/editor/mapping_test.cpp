// The field mapping between the form and the real settings object: what the
// fields show, what goes back, and where a failure stops the work.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <oleauto.h>

#include "checks.h"
#include "color_swatch.h"
#include "fields.h"
#include "numbers.h"
#include "support.h"

using namespace brindle;
using namespace brindle::test;

class MappingTest : public QObject, public Fixture {
  Q_OBJECT

  IPreferences& prefs() { return form->Prefs(); }
  // The object's settings as the file they make.
  QByteArray Image() {
    const QString path = dir.filePath(QStringLiteral("image.S19"));
    BSTR text = SysAllocString(reinterpret_cast<const OLECHAR*>(path.utf16()));
    const HRESULT hr = prefs().WriteS19(text);
    SysFreeString(text);
    QFile file(path);
    return SUCCEEDED(hr) && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

 private slots:
  void initTestCase() { QVERIFY(Register()); }
  void init() { Start(); }
  void cleanup() { form.reset(); }

  void newObjectShowsInTheFormsUnits() {
    QCOMPARE(form->version->text(), QStringLiteral("0x100"));
    QCOMPARE(form->VIN4->text() + form->VIN8->text() + form->VIN10->text(), QStringLiteral("FGY"));
    QVERIFY(form->US->isChecked());
    QVERIFY(form->Check4->isChecked() && !form->Check5->isChecked());  // Flags 15
    QCOMPARE(form->MaxBrightDay->currentText(), QStringLiteral("100 mCd"));
    QCOMPARE(form->SplashTime->text(), QStringLiteral("2"));  // 50 / 25 s
    QCOMPARE(form->GMTOffs->text(), QStringLiteral("-5"));
    QCOMPARE(form->Fontcolor->oleColor(), OLE_COLOR{0x00FFFFFF});
  }

  void unchangedFormWritesEveryValueBack() {
    // Values that every list maps back to itself, with bits set that no
    // box shows.
    prefs().put_Flags(0xFFFF);
    prefs().put_NMEAFlags(0x7E);
    prefs().put_BrightnessDay(8);
    prefs().put_BrightnessNight(9);
    prefs().put_Region(1);
    prefs().put_SplashTime(37);
    prefs().put_SatTime(12345);
    prefs().put_RefuelWarning(999);
    prefs().put_Ill_min_volt(123);
    prefs().put_IceWarning(-10);
    prefs().put_ColorBalance(0, -128);
    prefs().put_ColorBalance(2, 127);
    prefs().put_FontColor(0x123456);
    prefs().put_Aircore(-18432);
    prefs().put_PPMDividend(12345);
    prefs().put_ElementX(WIN_FUEL, 200);
    prefs().put_ElementY(WIN_FUEL, 250);
    prefs().put_ElementAlignment(WIN_FUEL, FONT_RIGHT);
    BSTR vin = SysAllocString(u"1G X   7 z 000001");
    prefs().put_VIN(vin);
    SysFreeString(vin);
    const QByteArray before = Image();
    form->ShowSettings();
    form->ApplySettings();
    QCOMPARE(Image(), before);
  }

  void listsNormaliseOddValuesAndSkipMissingEntries() {
    prefs().put_BrightnessDay(10);
    prefs().put_BrightnessNight(10);
    prefs().put_ElementAlignment(WIN_MPG, static_cast<Font_JustifyType>(7));
    prefs().put_ElementAlignment(WIN_COMPASS, FONT_RIGHT);
    prefs().put_Region(5);
    form->ShowSettings();
    QCOMPARE(form->MaxBrightDay->currentText(), QStringLiteral("100 mCd"));
    QCOMPARE(form->MaxBrightNight->currentText(), QStringLiteral("60 mCd"));
    QCOMPARE(form->MpgAlign->currentText(), QStringLiteral("Center"));
    QVERIFY(form->EMEA->isChecked());
    form->CompassAlign->setCurrentIndex(-1);
    form->ApplySettings();
    QCOMPARE(Stored(*form, &IPreferences::get_BrightnessDay), 11);
    QCOMPARE(Stored(*form, &IPreferences::get_BrightnessNight), 8);
    QCOMPARE(Stored(*form, &IPreferences::get_Region), 1);
    Font_JustifyType mpg{}, compass{};
    prefs().get_ElementAlignment(WIN_MPG, &mpg);
    prefs().get_ElementAlignment(WIN_COMPASS, &compass);
    QCOMPARE(int(mpg), int(FONT_CENTER));
    QCOMPARE(int(compass), int(FONT_RIGHT));  // no entry: left as it was
  }

  void numbersFollowTheLocale() {
    prefs().put_SplashTime(30);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    form->ShowSettings();
    QCOMPARE(form->SplashTime->text(), QStringLiteral("1,2"));
    form->SplashTime->setText(QStringLiteral("2,5"));
    form->ApplySettings();
    QCOMPARE(Stored(*form, &IPreferences::get_SplashTime), 62);
    // A point is neither a decimal nor a group separator here.
    form->SplashTime->setText(QStringLiteral("2.5"));
    QVERIFY_THROWS_EXCEPTION(EditorError, form->ApplySettings());
  }

  void customPpmFollowsTheMilesBit() {
    prefs().put_Flags(0);  // kilometres
    prefs().put_PPMKM(2486);
    form->ShowSettings();
    QCOMPARE(form->CustPPM->text(), QStringLiteral("4000"));
    form->ApplySettings();
    QCOMPARE(Stored(*form, &IPreferences::get_PPMKM), 2486);
    // Ticking Miles before applying: the text goes in unchanged.
    form->Check2->setChecked(true);
    form->ApplySettings();
    QCOMPARE(Stored(*form, &IPreferences::get_PPMKM), 4000);
    QCOMPARE(Stored(*form, &IPreferences::get_Flags), 2);
  }

  void bitsWithoutBoxesAreKept() {
    prefs().put_Flags(0xE5);
    prefs().put_NMEAFlags(0xFF);
    form->ShowSettings();
    QVERIFY(form->Check1->isChecked() && !form->Check2->isChecked() && form->Check3->isChecked() &&
            !form->Check4->isChecked() && !form->Check5->isChecked());
    QVERIFY(form->ProcGGA->isChecked() && form->GPSInvert->isChecked());
    for (QCheckBox* box : {form->Check1, form->Check3, form->ProcGGA, form->GPSInvert}) {
      box->setChecked(false);
    }
    form->Check6->setChecked(true);  // a spare box, tied to no bit
    form->ApplySettings();
    QCOMPARE(Stored(*form, &IPreferences::get_Flags), 0xE0);
    QCOMPARE(Stored(*form, &IPreferences::get_NMEAFlags), 0x7E);
  }

  void emptyVinBoxSendsABlank() {
    form->VIN4->setText(QStringLiteral("A"));
    form->VIN8->clear();
    form->VIN10->setText(QStringLiteral("C"));
    form->ApplySettings();
    BSTR vin = nullptr;
    QCOMPARE(prefs().get_VIN(&vin), S_OK);
    const QString text = QString::fromUtf16(vin, SysStringLen(vin));
    SysFreeString(vin);
    QCOMPARE(text.mid(3, 1) + text.mid(7, 1) + text.mid(9, 1), QStringLiteral("A C"));
  }

  void textThatIsNoNumberOrDoesNotFitIsRefused() {
    const std::pair<const char*, const char*> cases[] = {
        {"FuelY", "12a"}, {"FuelY", "nan"}, {"FuelY", "1,000"}, {"FuelY", "3000000000"}, {"Aircore", "40000"}};
    for (const auto& [field, text] : cases) {
      auto* edit = form->findChild<QLineEdit*>(field);
      edit->setText(text);
      QVERIFY_THROWS_EXCEPTION(EditorError, form->ApplySettings());
      edit->setText(QStringLiteral("0"));
    }
  }

  void everyValueTheChecksLetThroughIsStoredAsTyped() {
    // Whatever a check accepts must survive the trip through the object:
    // a bound beyond what the record keeps would lose the value in silence.
    for (const fields::Field& field : fields::Fields()) {
      if (!field.bounds) {
        continue;
      }
      auto* edit = static_cast<QLineEdit*>(form->ControlOf(field));
      for (const LONG value : {field.bounds->min, field.bounds->max}) {
        const QString typed = QString::number(value);
        edit->setText(typed);
        QVERIFY2(form->checks().Passes(edit), qPrintable(edit->objectName()));
        form->ApplySettings();
        form->ShowSettings();
        QVERIFY2(ParseNumber(edit->text()) == double(value),
                 qPrintable(edit->objectName() + QStringLiteral(": typed ") + typed +
                            QStringLiteral(", stored as ") + edit->text()));
      }
    }
  }
};

QTEST_MAIN(MappingTest)
#include "mapping_test.moc"
