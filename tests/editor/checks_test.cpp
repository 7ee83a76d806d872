// The field checks: what counts as a number, the bounds of every checked
// field, and what a refused check does to the field.
#include <QLineEdit>
#include <QtTest>

#include <map>

#include "checks.h"
#include "support.h"

using namespace brindle;
using namespace brindle::test;

namespace {

struct Bounds {
  LONG min;
  LONG max;
};

// The bounds each checked field must have, written out independently of the
// table in the code.
const std::map<QString, Bounds> kExpected = {
    {"SplashTime", {1, 10}},      {"SpeedUpd", {1, 3000}},     {"CompassUpd", {1, 255}},
    {"SpdThreshold", {0, 255}},   {"OdoDisplay", {0, 255}},    {"Rbalance", {-128, 127}},
    {"Gbalance", {-128, 127}},    {"Bbalance", {-128, 127}},   {"Baudrate", {4800, 38400}},
    {"GMTOffs", {-12, 12}},       {"SatLockDisp", {0, 65}},    {"IceWarn", {-10, 10}},
    {"Skey", {0, 1000}},          {"Lkey", {0, 10000}},        {"Debounce", {1, 255}},
    {"CANBaud", {1, 500}},        {"DayNightVolts", {0, 25}},  {"CustPPM", {1500, 4500}},
    {"LowFuel", {0, 1000}},       {"Pulses005", {0, 10000}},   {"ClockX", {0, 159}},
    {"ClockY", {0, 127}},         {"CompassX", {0, 159}},      {"CompassY", {0, 127}},
    {"MpgX", {0, 159}},           {"MpgY", {0, 127}},          {"InfoX", {0, 159}},
    {"InfoY", {0, 127}},          {"AC_Range", {0, 47200}},    {"AC_Speed", {0, 255}},
};

}  // namespace

class ChecksTest : public QObject {
  Q_OBJECT

  ComPtr<FakePreferences> fake;
  std::unique_ptr<Form1> form;

  // Runs the field's check the way a focus change does; true when it may go.
  bool Leave(const char* name, const QString& text) {
    auto* field = form->findChild<QLineEdit*>(QLatin1String(name));
    field->setText(text);
    return form->checks().MayLeave(field);
  }

 private slots:
  void init() {
    QLocale::setDefault(QLocale::c());
    fake = MakeFake();
    form = MakeForm(ComPtr<IPreferences>(fake.Get()));
    form->Form_Load();
  }
  void cleanup() {
    form.reset();
    fake.Reset();
    QLocale::setDefault(QLocale::c());
  }

  void checkRangeAcceptsOnlyNumbersWithinBounds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<bool>("passes");
    QTest::newRow("lower bound") << "-12" << -12 << 12 << true;
    QTest::newRow("upper bound") << "12" << -12 << 12 << true;
    QTest::newRow("below") << "-13" << -12 << 12 << false;
    QTest::newRow("above") << "47201" << 0 << 47200 << false;
    QTest::newRow("just above by a fraction") << "10.01" << 1 << 10 << false;
    QTest::newRow("empty, though 0 is inside") << "" << -10 << 10 << false;
    QTest::newRow("blanks only") << "   " << -10 << 10 << false;
    QTest::newRow("blanks around") << "  7 " << 0 << 10 << true;
    QTest::newRow("fraction inside") << "0.5" << 0 << 25 << true;
    QTest::newRow("fraction below") << "0.5" << 1 << 10 << false;
    QTest::newRow("letters") << "12a" << 0 << 100 << false;
    QTest::newRow("letters only") << "abc" << 0 << 100 << false;
    QTest::newRow("inf") << "inf" << 0 << 100 << false;
    QTest::newRow("-inf") << "-inf" << -100 << 100 << false;
    QTest::newRow("nan") << "nan" << 0 << 100 << false;
    QTest::newRow("exponent") << "1e1" << 1 << 10 << true;
    QTest::newRow("plus sign") << "+5" << 0 << 10 << true;
    QTest::newRow("hexadecimal") << "0x10" << 0 << 100 << false;
    QTest::newRow("group separator") << "1,000" << 0 << 5000 << false;
    QTest::newRow("huge") << "1e400" << 0 << 100 << false;
  }
  void checkRangeAcceptsOnlyNumbersWithinBounds() {
    QFETCH(QString, text);
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(bool, passes);
    QCOMPARE(CheckRange(text, min, max), passes);
  }

  void commaLocaleUsesItsDecimalSeparator() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QVERIFY(CheckRange(QStringLiteral("0,5"), 0, 25));
    QVERIFY(!CheckRange(QStringLiteral("0.5"), 0, 25));
    QVERIFY(!CheckRange(QStringLiteral("1.000"), 0, 5000));
    QVERIFY(Leave("DayNightVolts", QStringLiteral("12,5")));
  }

  void everyCheckedFieldHasItsBounds() {
    QCOMPARE(FieldChecks::Entries().size(), kExpected.size());
    for (const auto& [name, bounds] : kExpected) {
      const QByteArray field = name.toLatin1();
      QVERIFY2(Leave(field, QString::number(bounds.min)), field);
      QVERIFY2(Leave(field, QString::number(bounds.max)), field);
      QVERIFY2(!Leave(field, QString::number(bounds.min - 1)), field);
      QVERIFY2(!Leave(field, QString::number(bounds.max + 1)), field);
      QVERIFY2(!Leave(field, QString()), field);
    }
  }

  void handlersAreCalledByName() {
    bool cancel = false;
    form->GMTOffs->setText(QStringLiteral("-12"));
    form->checks().GMTOffs_Validate(cancel);
    QVERIFY(!cancel);
    form->AC_Range->setText(QStringLiteral("47201"));
    form->checks().AC_Range_Validate(cancel);
    QVERIFY(cancel);
    cancel = false;
    form->SplashTime->setText(QStringLiteral("0"));
    form->checks().SplashTime_Validate(cancel);
    QVERIFY(cancel);
    cancel = false;
    form->Baudrate->setText(QStringLiteral("38400"));
    form->checks().Baudrate_Validate(cancel);
    QVERIFY(!cancel);
  }

  void uncheckedFieldsAcceptAnything() {
    for (QLineEdit* field : {form->FuelX, form->FuelY, form->Aircore, form->VIN4, form->VIN8,
                             form->VIN10, form->FuelMul, form->FuelDiv}) {
      QVERIFY2(form->checks().HandlerFor(field) == nullptr, qPrintable(field->objectName()));
      field->setText(QStringLiteral("500 or letters"));
      QVERIFY(form->checks().MayLeave(field));
    }
  }

  void refusedTextIsSelectedWhole() {
    form->SpeedUpd->setText(QStringLiteral("12a4"));
    form->SpeedUpd->setCursorPosition(1);
    QVERIFY(!form->checks().MayLeave(form->SpeedUpd));
    QCOMPARE(form->SpeedUpd->selectionStart(), 0);
    QCOMPARE(form->SpeedUpd->selectedText(), QStringLiteral("12a4"));
    QCOMPARE(form->SpeedUpd->text(), QStringLiteral("12a4"));
  }

  void acceptedTextStaysAsTyped() {
    form->SplashTime->setText(QStringLiteral(" 2.50 "));
    QVERIFY(form->checks().MayLeave(form->SplashTime));
    QCOMPARE(form->SplashTime->text(), QStringLiteral(" 2.50 "));
    QVERIFY(!form->SplashTime->hasSelectedText());
  }

  void loadedValuesAreNotCheckedUntilEntered() {
    // A value out of bounds arrives through ShowSettings and is applied as is.
    fake->record.CompassUpdate = 0;
    form->ShowSettings();
    QCOMPARE(form->CompassUpd->text(), QStringLiteral("0"));
    form->ApplySettings();
    QCOMPARE(int(fake->record.CompassUpdate), 0);
    QVERIFY(!form->checks().MayLeave(form->CompassUpd));
  }
};

QTEST_MAIN(ChecksTest)
#include "checks_test.moc"
