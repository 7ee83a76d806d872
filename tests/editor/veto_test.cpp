// The focus veto through real event paths: events go to the window the way
// the platform delivers them, so Qt's own focus handling runs as it does
// for a user.
#include <QAbstractItemView>
#include <QApplication>
#include <QRadioButton>
#include <QShortcut>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWheelEvent>
#include <QtTest>

#include "checks.h"
#include "support.h"

using namespace brindle;
using namespace brindle::test;

class VetoTest : public QObject {
  Q_OBJECT

  ComPtr<FakePreferences> fake;
  std::shared_ptr<ScriptedDialogs::Log> dialogs;
  std::unique_ptr<Form1> form;

  QPoint CentreOf(QWidget* widget) const {
    return widget->mapTo(form.get(), widget->rect().center());
  }
  void Click(QWidget* widget) {
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, CentreOf(widget));
  }
  // Puts text into a checked field that holds the focus.
  void Enter(QLineEdit* field, const QString& text) {
    field->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), field);
    field->setText(text);
  }
  void Wheel(QWidget* over) {
    const QPointF pos = CentreOf(over);
    QWheelEvent wheel(pos, form->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    // To the window, marked as coming from the user.
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::sendEvent(form->windowHandle(), &wheel);
  }
  bool Refused(QLineEdit* field) const {
    return QApplication::focusWidget() == field && field->selectedText() == field->text();
  }

 private slots:
  void init() {
    QLocale::setDefault(QLocale::c());
    fake = MakeFake();
    dialogs = std::make_shared<ScriptedDialogs::Log>();
    form = MakeForm(ComPtr<IPreferences>(fake.Get()), dialogs);
    form->Form_Load();
    fake->calls.clear();
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
  }
  void cleanup() {
    form.reset();
    fake.Reset();
  }

  void filterWatchesOnlyCheckedFields() {
    QCOMPARE(form->veto().watchedField(), nullptr);  // focus on Exit
    Enter(form->SplashTime, QStringLiteral("2"));
    QCOMPARE(form->veto().watchedField(), form->SplashTime);
    form->FuelX->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), form->FuelX);
    QCOMPARE(form->veto().watchedField(), nullptr);
  }

  void tabAndBacktabStayInARefusedField() {
    Enter(form->SplashTime, QStringLiteral("0"));
    QTest::keyClick(form->windowHandle(), Qt::Key_Tab);
    QVERIFY(Refused(form->SplashTime));
    QTest::keyClick(form->windowHandle(), Qt::Key_Tab, Qt::ShiftModifier);
    QVERIFY(Refused(form->SplashTime));
    QTest::keyClick(form->windowHandle(), Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(Refused(form->SplashTime));
    // Typing replaces the selected text; then the focus may go.
    QTest::keyClick(form->windowHandle(), '3');
    QCOMPARE(form->SplashTime->text(), QStringLiteral("3"));
    QTest::keyClick(form->windowHandle(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form->SpeedUpd);
    QCOMPARE(form->SplashTime->text(), QStringLiteral("3"));
  }

  void clickOnSaveWithARefusedFieldDoesNothing() {
    Enter(form->GMTOffs, QStringLiteral("13"));
    Click(form->Save);
    QVERIFY(Refused(form->GMTOffs));
    QCOMPARE(dialogs->shown(), 0);
    QVERIFY(fake->Puts().empty());
    QVERIFY(form->Status().isEmpty());
    // With a good value the same click saves (and the dialog opens).
    form->GMTOffs->setText(QStringLiteral("12"));
    Click(form->Save);
    QCOMPARE(dialogs->saves.size(), std::size_t{1});
    QCOMPARE(QApplication::focusWidget(), form->Save);
  }

  void clicksOnOtherElementsNeitherFocusNorAct() {
    Enter(form->Baudrate, QStringLiteral("abc"));
    const bool checked = form->Check5->isChecked();
    Click(form->Check5);
    QCOMPARE(form->Check5->isChecked(), checked);
    QVERIFY(Refused(form->Baudrate));

    Click(form->IceWarn);
    QVERIFY(Refused(form->Baudrate));

    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, CentreOf(form->Skey));
    QVERIFY(Refused(form->Baudrate));

    Click(form->MaxBrightNight);
    QVERIFY(!form->MaxBrightNight->view()->isVisible());
    QVERIFY(Refused(form->Baudrate));

    Click(form->EMEA);
    QVERIFY(form->US->isChecked());
    Click(form->Command1);
    Click(form->Load);
    QCOMPARE(dialogs->shown(), 0);
    QVERIFY(Refused(form->Baudrate));

    // A click inside the field itself, or on a caption, is no attempt to leave.
    Click(form->Baudrate);
    QCOMPARE(QApplication::focusWidget(), form->Baudrate);
  }

  void wheelOverAListIsStopped() {
    // Counts the wheel events that get past the veto to the window. The veto
    // installs its filter later, so it sees each event first.
    struct Spy : QObject {
      QWindow* window = nullptr;
      int wheels = 0;
      bool eventFilter(QObject* receiver, QEvent* event) override {
        if (receiver == window && event->type() == QEvent::Wheel) ++wheels;
        return false;
      }
    } spy;
    spy.window = form->windowHandle();
    form->Exit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), form->Exit);
    qApp->installEventFilter(&spy);

    Enter(form->CustPPM, QStringLiteral("4000"));
    Wheel(form->ClockAlign);
    QCOMPARE(spy.wheels, 1);
    Enter(form->CustPPM, QStringLiteral("1499"));
    const int before = form->ClockAlign->currentIndex();
    Wheel(form->ClockAlign);
    QCOMPARE(spy.wheels, 1);
    QCOMPARE(form->ClockAlign->currentIndex(), before);
    QVERIFY(Refused(form->CustPPM));
    // Over a text field the wheel takes no focus and passes.
    Wheel(form->IceWarn);
    QCOMPARE(spy.wheels, 2);
    qApp->removeEventFilter(&spy);
  }

  void shortcutsAreStopped() {
    // No control has an access key; a shortcut of the window stands in.
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), form.get());
    int hits = 0;
    connect(shortcut, &QShortcut::activated, this, [&] { ++hits; });
    Enter(form->Skey, QStringLiteral("1001"));
    QTest::keyClick(form->windowHandle(), Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(hits, 0);
    QVERIFY(Refused(form->Skey));
    form->Skey->setText(QStringLiteral("1000"));
    QTest::keyClick(form->windowHandle(), Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(hits, 1);
  }

  void uncheckedFieldsCanBeLeftWithAnything() {
    form->FuelX->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), form->FuelX);
    form->FuelX->setText(QStringLiteral("500 or letters"));
    QTest::keyClick(form->windowHandle(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form->FuelY);
  }

  void closingIsNeverStopped() {
    Enter(form->AC_Range, QStringLiteral("47201"));
    QVERIFY(form->windowHandle()->close());
    QVERIFY(!form->isVisible());
  }
};

QTEST_MAIN(VetoTest)
#include "veto_test.moc"
