// The commands against the real component, created by activation through a
// registry of the test's own; the dialogs are scripted.
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

#include <windows.h>

#include "color_swatch.h"
#include "qt_dialogs.h"
#include "support.h"

using namespace brindle;
using namespace brindle::test;

class CommandsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  std::shared_ptr<ScriptedDialogs::Log> dialogs;
  std::unique_ptr<Form1> form;

  QString Path(const QString& name) const { return dir.filePath(name); }

  static LONG SpeedUpdateOf(Form1& f) {
    LONG value = -1;
    f.Prefs().get_SpeedUpdate(&value);
    return value;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir.isValid());
    const QByteArray registry = dir.filePath("registry.txt").toLocal8Bit();
    qputenv("QUILLON_REGISTRY", registry);
    HMODULE library = LoadLibraryA(QUILLON_COMPONENT_PATH);
    QVERIFY2(library != nullptr, QUILLON_COMPONENT_PATH);
    auto registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(library, "DllRegisterServer"));
    QVERIFY(registerServer != nullptr);
    QCOMPARE(registerServer(), S_OK);
    FreeLibrary(library);
  }

  void init() {
    QLocale::setDefault(QLocale::c());
    dialogs = std::make_shared<ScriptedDialogs::Log>();
    form = std::make_unique<Form1>(CreatePreferences, std::make_unique<ScriptedDialogs>(dialogs));
    form->Form_Load();
  }
  void cleanup() { form.reset(); }

  void saveWritesTheFormAndLoadBringsItBack() {
    const QString file = Path("good.S19");
    form->SpeedUpd->setText(QStringLiteral("1234"));
    form->SplashTime->setText(QStringLiteral("2.5"));
    dialogs->fileAnswers = {file};
    form->commands().Save_Click();
    QCOMPARE(form->Status(), QStringLiteral("Saved %1").arg(file));
    QVERIFY(QFile::exists(file));
    const FileDialogRequest& save = dialogs->saves.at(0);
    QCOMPARE(save.title, QStringLiteral("Select Configuration to save"));
    QCOMPARE(save.defaultSuffix, QStringLiteral("S19"));
    QCOMPARE(save.nameFilters,
             QStringList({QStringLiteral("Config Files (*.S19)"), QStringLiteral("All files (*)")}));
    QCOMPARE(save.initialDirectory, QCoreApplication::applicationDirPath());
    QVERIFY(save.fileName.isEmpty());

    // A fresh window loads what the first one saved.
    auto fresh = std::make_shared<ScriptedDialogs::Log>();
    Form1 other(CreatePreferences, std::make_unique<ScriptedDialogs>(fresh));
    other.Form_Load();
    QCOMPARE(other.SpeedUpd->text(), QStringLiteral("700"));
    fresh->fileAnswers = {file};
    other.commands().Load_Click();
    QCOMPARE(other.Status(), QStringLiteral("Loaded %1").arg(file));
    QCOMPARE(other.SpeedUpd->text(), QStringLiteral("1234"));
    QCOMPARE(other.SplashTime->text(), QStringLiteral("2.48"));  // 62 / 25
    QCOMPARE(fresh->opens.at(0).title, QStringLiteral("Select Configuration to load"));
    // The next dialog opens with the chosen path filled in.
    other.commands().Save_Click();
    QCOMPARE(fresh->saves.at(0).fileName, file);
  }

  void damagedFileChangesNothing() {
    const QString file = Path("damaged.S19");
    {
      QFile out(file);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write("S2241200ZZ\r\n");
    }
    form->SpeedUpd->setText(QStringLiteral("999"));
    dialogs->fileAnswers = {file};
    form->commands().Load_Click();
    QVERIFY2(form->Status().startsWith(QStringLiteral("Could not load %1").arg(file)),
             qPrintable(form->Status()));
    QCOMPARE(form->SpeedUpd->text(), QStringLiteral("999"));
    QCOMPARE(SpeedUpdateOf(*form), 700);
    QCOMPARE(form->commands().state().fileName, file);
  }

  void cancelledLoadChangesNothingAndSaysNothing() {
    form->SpeedUpd->setText(QStringLiteral("999"));
    dialogs->fileAnswers = {QString()};
    form->commands().Load_Click();
    QCOMPARE(dialogs->opens.size(), std::size_t{1});
    QVERIFY(form->Status().isEmpty());
    QCOMPARE(form->SpeedUpd->text(), QStringLiteral("999"));
    QCOMPARE(SpeedUpdateOf(*form), 700);
  }

  void saveStopsAtAFieldThatDoesNotConvert() {
    form->FuelX->setText(QStringLiteral("abc"));
    form->SpeedUpd->setText(QStringLiteral("1500"));
    dialogs->fileAnswers = {Path("never.S19")};
    form->commands().Save_Click();
    QCOMPARE(dialogs->shown(), 0);
    QVERIFY(!QFile::exists(Path("never.S19")));
    QVERIFY2(form->Status().startsWith(QStringLiteral("Not saved:")) &&
                 form->Status().contains(QStringLiteral("FuelX")),
             qPrintable(form->Status()));
    // The rows before FuelX were applied.
    QCOMPARE(SpeedUpdateOf(*form), 1500);
  }

  void cancelledSaveWritesNothingButTheObjectHasTheForm() {
    form->SpeedUpd->setText(QStringLiteral("1600"));
    const QString before = form->Status();
    const auto files = [&] { return QDir(dir.path()).entryList(QDir::Files); };
    const QStringList filesBefore = files();
    dialogs->fileAnswers = {QString()};
    form->commands().Save_Click();
    QCOMPARE(dialogs->saves.size(), std::size_t{1});
    QCOMPARE(form->Status(), before);
    QCOMPARE(SpeedUpdateOf(*form), 1600);
    QCOMPARE(files(), filesBefore);
  }

  void failedWriteShowsTheComponentsText() {
    const QString file = Path("missing/folder/x.S19");
    dialogs->fileAnswers = {file};
    form->commands().Save_Click();
    QVERIFY2(form->Status().startsWith(QStringLiteral("Could not save %1").arg(file)) &&
                 form->Status().contains(QStringLiteral("File not found!")),
             qPrintable(form->Status()));
  }

  void selectStartsFromTheLastChoiceNotTheSwatch() {
    const OLE_COLOR red = 0x0000FF;
    const OLE_COLOR blue = 0xFF0000;
    dialogs->colorAnswers = {red};
    form->commands().Command1_Click();
    QCOMPARE(dialogs->colors.at(0), OLE_COLOR{0});  // black before the first choice
    QCOMPARE(form->Fontcolor->oleColor(), red);

    // A Load puts the file's colour (white) into the swatch ...
    const QString file = Path("white.S19");
    auto other = std::make_shared<ScriptedDialogs::Log>();
    Form1 writer(CreatePreferences, std::make_unique<ScriptedDialogs>(other));
    writer.Form_Load();
    other->fileAnswers = {file};
    writer.commands().Save_Click();
    dialogs->fileAnswers = {file};
    form->commands().Load_Click();
    QCOMPARE(form->Fontcolor->oleColor(), OLE_COLOR{0x00FFFFFF});
    // ... but the colour dialog still starts from red.
    dialogs->colorAnswers = {blue};
    form->commands().Command1_Click();
    QCOMPARE(dialogs->colors.at(1), red);
    QCOMPARE(form->Fontcolor->oleColor(), blue);
    // Cancel keeps the swatch.
    form->commands().Command1_Click();
    QCOMPARE(form->Fontcolor->oleColor(), blue);
    QCOMPARE(dialogs->colors.at(2), blue);

    // The chosen colour reaches a file saved afterwards.
    const QString saved = Path("blue.S19");
    dialogs->fileAnswers = {saved};
    form->commands().Save_Click();
    dialogs->fileAnswers = {file, saved};
    form->commands().Load_Click();
    QCOMPARE(form->Fontcolor->oleColor(), OLE_COLOR{0x00FFFFFF});
    form->commands().Load_Click();
    QCOMPARE(form->Fontcolor->oleColor(), blue);
  }

  void saveReplacesAnExistingFile() {
    const QString file = Path("replace.S19");
    {
      QFile out(file);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write("old contents\n");
    }
    dialogs->fileAnswers = {file};
    form->commands().Save_Click();
    QCOMPARE(form->Status(), QStringLiteral("Saved %1").arg(file));
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QVERIFY(in.readAll().startsWith("S2"));
  }

  void saveDialogRefusesUnwritableTargets() {
    QVERIFY(SaveTargetProblem(Path("new.S19")).isEmpty());
    QVERIFY(!SaveTargetProblem(Path("no/such/dir/x.S19")).isEmpty());
    const QString readOnly = Path("readonly.S19");
    {
      QFile out(readOnly);
      QVERIFY(out.open(QIODevice::WriteOnly));
    }
    QVERIFY(SaveTargetProblem(readOnly).isEmpty());
    QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadUser));
    QVERIFY(SaveTargetProblem(readOnly).contains(QStringLiteral("read-only")));
  }

  void exitClosesTheWindow() {
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->SpeedUpd->setText(QStringLiteral("1"));
    form->commands().Exit_Click();
    QVERIFY(!form->isVisible());
  }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
