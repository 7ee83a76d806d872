// The form against the real component: the field mapping (what the fields
// show, what goes back, where a failure stops the work); the commands Load,
// Save, Select and Exit with scripted dialogs; files dropped on the window;
// and the real save dialog driven through its keys.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <oleauto.h>

#include "checks.h"
#include "color_swatch.h"
#include "default_file.h"
#include "fields.h"
#include "numbers.h"
#include "qt_dialogs.h"
#include "support.h"
#include "temp_dir.h"

using namespace brindle;
using namespace brindle::test;

class FormTest : public QObject, public Fixture {
  Q_OBJECT

  QString Path(const QString& name) const { return dir.filePath(name); }
  IPreferences& prefs() { return form->Prefs(); }
  // The object's settings as the file they make.
  std::string Image() {
    const QString path = Path(QStringLiteral("image.S19"));
    BSTR text = SysAllocString(reinterpret_cast<const OLECHAR*>(path.utf16()));
    const HRESULT hr = prefs().WriteS19(text);
    SysFreeString(text);
    return SUCCEEDED(hr) ? quillon::testing::ReadFileBytes(path.toStdString()) : std::string();
  }
  // Load and Save with the file chosen in their dialog.
  static void Load(Form1& f, ScriptedDialogs::Log& log, const QString& file) {
    log.fileAnswers = {file};
    f.commands().Load_Click();
  }
  static void Save(Form1& f, ScriptedDialogs::Log& log, const QString& file) {
    log.fileAnswers = {file};
    f.commands().Save_Click();
  }
  void Load(const QString& file) { Load(*form, *dialogs, file); }
  void Save(const QString& file) { Save(*form, *dialogs, file); }

  // A file holding a new object's settings with some changed.
  QString Written(const QString& name, const std::function<void(Form1&)>& change) {
    auto log = std::make_shared<ScriptedDialogs::Log>();
    auto writer = StartedForm(log);
    change(*writer);
    Save(*writer, *log, Path(name));
    return Path(name);
  }
  QString WriteText(const QString& name, const std::string& text) {
    quillon::testing::WriteFileBytes(Path(name).toStdString(), text);
    return Path(name);
  }

  static bool Drop(Form1& target, const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted()) {
      return false;
    }
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    return drop.isAccepted();
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
    const std::string before = Image();
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

  // ---- Commands ----------------------------------------------------------

  void saveWritesTheFormAndLoadBringsItBack() {
    const QString file = Path("good.S19");
    form->SpeedUpd->setText(QStringLiteral("1234"));
    Save(file);
    QCOMPARE(form->Status(), QStringLiteral("Saved %1").arg(file));
    QCOMPARE(form->windowTitle(), QStringLiteral("good.S19 - Brindle V1.02 (beta)"));
    QCOMPARE(dialogs->saves.at(0).initialDirectory, QCoreApplication::applicationDirPath());

    auto log = std::make_shared<ScriptedDialogs::Log>();
    auto other = StartedForm(log);
    QCOMPARE(other->SpeedUpd->text(), QStringLiteral("700"));
    Load(*other, *log, file);
    QCOMPARE(other->Status(), QStringLiteral("Loaded %1").arg(file));
    QCOMPARE(other->SpeedUpd->text(), QStringLiteral("1234"));
    // The next dialog opens with the chosen path filled in.
    other->commands().Save_Click();
    QCOMPARE(log->saves.at(0).fileName, file);
  }

  void valuesTheRecordCannotHoldAreNamedAfterSave() {
    form->FuelX->setText(QStringLiteral("500"));
    form->FuelY->setText(QStringLiteral("300"));
    form->SplashTime->setText(QStringLiteral("2.5"));
    Save(Path("cut.S19"));
    QCOMPARE(form->Status(), QStringLiteral("Saved %1; Splash duration (sec) in Display stored as "
                                            "2.48, Fuel X in Windows stored as 244, Fuel Y in "
                                            "Windows stored as 44")
                                 .arg(Path("cut.S19")));
    QCOMPARE(form->FuelX->text(), QStringLiteral("244"));
    // Nothing differs the second time.
    Save(Path("cut.S19"));
    QCOMPARE(form->Status(), QStringLiteral("Saved %1").arg(Path("cut.S19")));
  }

  void damagedFileChangesNothing() {
    const QString file = WriteText("damaged.S19", "S2241200ZZ\r\n");
    form->SpeedUpd->setText(QStringLiteral("999"));
    Load(file);
    QVERIFY2(form->Status().startsWith(QStringLiteral("Could not load %1: ").arg(file)),
             qPrintable(form->Status()));
    QCOMPARE(form->SpeedUpd->text(), QStringLiteral("999"));
    QCOMPARE(Stored(*form, &IPreferences::get_SpeedUpdate), 700);
    QCOMPARE(form->windowTitle(), QStringLiteral("Brindle V1.02 (beta)"));
  }

  // Reading skips a line that is not a record and never compares the check
  // value; the status line says so instead of loading zeros in silence.
  void partlyDamagedFileLoadsWithAWarning() {
    std::string text = quillon::testing::kDefaultFile;
    text[quillon::testing::kDataLine] = 'R';
    const QString file = WriteText("second-line-lost.S19", text);
    Load(file);
    QCOMPARE(form->Status(), QStringLiteral("Loaded %1; warning: no record held image bytes 30-61, read as zeros; "
                                            "the image's check value does not match its bytes")
                                 .arg(file));
  }

  void cancelChangesNothingAndSaysNothing() {
    const auto files = [&] { return QDir(dir.path()).entryList(QDir::Files); };
    const QStringList before = files();
    form->SpeedUpd->setText(QStringLiteral("1600"));
    dialogs->fileAnswers = {std::nullopt, std::nullopt};
    form->commands().Load_Click();
    QCOMPARE(form->SpeedUpd->text(), QStringLiteral("1600"));
    form->commands().Save_Click();
    QCOMPARE(dialogs->shown(), 2);
    QVERIFY(form->Status().isEmpty());
    // Save applied the form before its dialog opened.
    QCOMPARE(Stored(*form, &IPreferences::get_SpeedUpdate), 1600);
    QCOMPARE(files(), before);
  }

  // The rows before the one that does not convert are applied, the rest not.
  void saveStopsAtAFieldThatDoesNotConvert() {
    form->InfoY->setText(QStringLiteral("99"));
    form->Aircore->setText(QStringLiteral("abc"));
    form->Debounce->setText(QStringLiteral("99"));
    Save(Path("never.S19"));
    QCOMPARE(dialogs->shown(), 0);
    QVERIFY(!QFile::exists(Path("never.S19")));
    QCOMPARE(form->Status(), QStringLiteral("Not saved: Calibration in Air Core holds \"abc\", "
                                            "which is not a number"));
    LONG infoY = 0;
    form->Prefs().get_ElementY(WIN_INFO, &infoY);
    QCOMPARE(infoY, LONG{99});
    QCOMPARE(Stored(*form, &IPreferences::get_Debounce), SHORT{50});
  }

  void failedWriteShowsTheComponentsText() {
    const QString file = Path("missing/folder/x.S19");
    Save(file);
    QVERIFY2(form->Status().startsWith(QStringLiteral("Could not save %1: File not found!").arg(file)),
             qPrintable(form->Status()));
  }

  void saveDialogRefusesWhatCannotBeWritten() {
    const QString file = Written("readonly.S19", [](Form1&) {});
    QVERIFY(SaveTargetProblem(file).isEmpty());  // replaced without a question
    QVERIFY(SaveTargetProblem(Path("new.S19")).isEmpty());
    QVERIFY(!SaveTargetProblem(Path("no/such/dir/x.S19")).isEmpty());
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadUser));
    QVERIFY(SaveTargetProblem(file).contains(QStringLiteral("read-only")));
  }

  void colourDialogStartsAtTheFontColour() {
    const QString red = Written("red.S19", [](Form1& f) { f.Fontcolor->setOleColor(0x0000FF); });
    Load(red);
    dialogs->colorAnswers = {OLE_COLOR{0xFF0000}, std::nullopt};
    form->commands().Command1_Click();
    QCOMPARE(dialogs->colors.at(0), OLE_COLOR{0x0000FF});
    QCOMPARE(form->Fontcolor->oleColor(), OLE_COLOR{0xFF0000});
    // Cancel keeps the swatch; the next dialog starts at the chosen colour.
    form->commands().Command1_Click();
    QCOMPARE(dialogs->colors.at(1), OLE_COLOR{0xFF0000});
    QCOMPARE(form->Fontcolor->oleColor(), OLE_COLOR{0xFF0000});
    // The colour reaches the object at the next Save, not before.
    QCOMPARE(Stored(*form, &IPreferences::get_FontColor), OLE_COLOR{0x0000FF});
    Save(Path("blue.S19"));
    QCOMPARE(Stored(*form, &IPreferences::get_FontColor), OLE_COLOR{0xFF0000});
  }

  // (A file named at start is the smoke test's.)
  void droppedFileIsLoaded() {
    const QString file = Written("fast.S19", [](Form1& f) { f.SpeedUpd->setText("42"); });
    QVERIFY(Drop(*form, file));
    QCOMPARE(form->SpeedUpd->text(), QStringLiteral("42"));
    QFile::copy(file, Path("other.txt"));
    QVERIFY(!Drop(*form, Path("other.txt")));
  }

  void saveAfterLoadIsConfirmedOnceWithReturn() {
    // The real dialogs, answered through their keys: a new name typed in
    // the save dialog that a Load has filled in, then Return for the
    // question whether to create it. The one answer saves to the new name.
    QtDialogs real(form.get());
    FileDialogRequest request{QStringLiteral("Select Configuration to save"),
                              {QStringLiteral("Config Files (*.S19)")}, QStringLiteral("S19"),
                              dir.path(), Written("loaded.S19", [](Form1&) {})};
    for (int round = 0; round < 5; ++round) {
      const QString name = QStringLiteral("new%1").arg(round);
      int questions = 0;
      int waited = 0;
      // Each key goes out from a timer of its own, so the driver is free to
      // answer a question that the key opens.
      const auto later = [](auto action) { QTimer::singleShot(0, action); };
      QTimer driver;
      connect(&driver, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
          ++questions;
          later([box] { QTest::keyClick(box->windowHandle(), Qt::Key_Return); });
        } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
          auto* edit = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
          if (edit != nullptr && edit->text() != name && questions == 0) {
            // The keys arrive before the name field has the focus, as they
            // do when typed the moment the dialog appears.
            edit->clearFocus();
            edit->selectAll();
            QTest::keyClicks(edit, name);
            later([files] { QTest::keyClick(files->windowHandle(), Qt::Key_Return); });
          } else if (++waited > 50) {
            // Still open a second after its answer: give up.
            files->reject();
          }
        }
      });
      driver.start(20);
      const std::optional<QString> chosen = real.ShowSave(request);
      driver.stop();
      QCOMPARE(chosen.value_or(QStringLiteral("<none>")), Path(name + QStringLiteral(".S19")));
      QCOMPARE(questions, 1);
    }
  }
};

QTEST_MAIN(FormTest)
#include "form_test.moc"
