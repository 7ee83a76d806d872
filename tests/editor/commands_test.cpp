// The commands against the real component: Load, Save, Select and Exit with
// scripted dialogs; files named at start or dropped on the window; and the
// real save dialog driven through its keys.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include "color_swatch.h"
#include "default_file.h"
#include "qt_dialogs.h"
#include "support.h"

using namespace brindle;
using namespace brindle::test;

class CommandsTest : public QObject, public Fixture {
  Q_OBJECT

  QString Path(const QString& name) const { return dir.filePath(name); }

  // A file holding a new object's settings with some changed.
  QString Written(const QString& name, const std::function<void(Form1&)>& change) {
    auto log = std::make_shared<ScriptedDialogs::Log>();
    auto writer = StartedForm(log);
    change(*writer);
    log->fileAnswers = {Path(name)};
    writer->commands().Save_Click();
    return Path(name);
  }

  QString WriteText(const QString& name, const std::string& text) {
    QFile out(Path(name));
    return out.open(QIODevice::WriteOnly) && out.write(text.data(), qint64(text.size())) == qint64(text.size())
               ? Path(name)
               : QString();
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

  void saveWritesTheFormAndLoadBringsItBack() {
    const QString file = Path("good.S19");
    form->SpeedUpd->setText(QStringLiteral("1234"));
    dialogs->fileAnswers = {file};
    form->commands().Save_Click();
    QCOMPARE(form->Status(), QStringLiteral("Saved %1").arg(file));
    QCOMPARE(form->windowTitle(), QStringLiteral("good.S19 - Brindle V1.02 (beta)"));
    QCOMPARE(dialogs->saves.at(0).initialDirectory, QCoreApplication::applicationDirPath());

    auto log = std::make_shared<ScriptedDialogs::Log>();
    auto other = StartedForm(log);
    QCOMPARE(other->SpeedUpd->text(), QStringLiteral("700"));
    log->fileAnswers = {file};
    other->commands().Load_Click();
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
    dialogs->fileAnswers = {Path("cut.S19")};
    form->commands().Save_Click();
    QCOMPARE(form->Status(), QStringLiteral("Saved %1; Splash duration (sec) in Display stored as "
                                            "2.48, Fuel X in Windows stored as 244, Fuel Y in "
                                            "Windows stored as 44")
                                 .arg(Path("cut.S19")));
    QCOMPARE(form->FuelX->text(), QStringLiteral("244"));
    // Nothing differs the second time.
    dialogs->fileAnswers = {Path("cut.S19")};
    form->commands().Save_Click();
    QCOMPARE(form->Status(), QStringLiteral("Saved %1").arg(Path("cut.S19")));
  }

  void damagedFileChangesNothing() {
    const QString file = WriteText("damaged.S19", "S2241200ZZ\r\n");
    form->SpeedUpd->setText(QStringLiteral("999"));
    dialogs->fileAnswers = {file};
    form->commands().Load_Click();
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
    dialogs->fileAnswers = {file};
    form->commands().Load_Click();
    QCOMPARE(form->Status(), QStringLiteral("Loaded %1; warning: no record held image bytes 30-61, read as zeros; "
                                            "the image's check value does not match its bytes")
                                 .arg(file));

    const QString good = WriteText("good.S19", quillon::testing::kDefaultFile);
    dialogs->fileAnswers = {good};
    form->commands().Load_Click();
    QCOMPARE(form->Status(), QStringLiteral("Loaded %1").arg(good));
  }

  void cancelChangesNothingAndSaysNothing() {
    const auto files = [&] { return QDir(dir.path()).entryList(QDir::Files); };
    const QStringList before = files();
    form->SpeedUpd->setText(QStringLiteral("1600"));
    dialogs->fileAnswers = {QString(), QString()};
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
    dialogs->fileAnswers = {Path("never.S19")};
    form->commands().Save_Click();
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
    dialogs->fileAnswers = {file};
    form->commands().Save_Click();
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
    dialogs->fileAnswers = {red};
    form->commands().Load_Click();
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
    dialogs->fileAnswers = {Path("blue.S19")};
    form->commands().Save_Click();
    QCOMPARE(Stored(*form, &IPreferences::get_FontColor), OLE_COLOR{0xFF0000});
  }

  void fileNamedAtStartOrDroppedIsLoaded() {
    const QString file = Written("fast.S19", [](Form1& f) { f.SpeedUpd->setText("42"); });
    form->commands().LoadFile(Path("nowhere.S19"));
    QVERIFY2(form->Status().startsWith(QStringLiteral("Could not load %1").arg(Path("nowhere.S19"))),
             qPrintable(form->Status()));

    QVERIFY(Drop(*form, file));
    QCOMPARE(form->SpeedUpd->text(), QStringLiteral("42"));
    QCOMPARE(form->windowTitle(), QStringLiteral("fast.S19 - Brindle V1.02 (beta)"));
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

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
