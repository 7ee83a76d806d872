// brindle: the settings editor. Creates its window, fills the lists, shows
// the settings of a new Preferences object (or of FILE) and waits for the
// user.
//
//   brindle [--quit-after-show] [FILE]
//
// --quit-after-show ends the program as soon as the window has been shown
// and painted once; the start-up benchmark times that.

#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <memory>

#include <objbase.h>

#include "form.h"
#include "qt_dialogs.h"

namespace {

// Quits the event loop after the first paint of the watched window.
class QuitAfterFirstPaint : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !quitting_) {
      quitting_ = true;
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool quitting_ = false;
};

bool HasDisplay() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

int Run(QApplication& app, bool quitAfterShow, const QString& file) {
  auto dialogs = std::make_unique<brindle::QtDialogs>();
  brindle::QtDialogs* dialogsView = dialogs.get();
  brindle::Form1 form(brindle::CreatePreferences, std::move(dialogs));
  dialogsView->setParent(&form);
  try {
    form.Form_Load();
  } catch (const brindle::EditorError& error) {
    std::fprintf(stderr, "brindle: %s\n", error.message().toLocal8Bit().constData());
    if (HasDisplay()) {
      QMessageBox::critical(nullptr, form.windowTitle(), error.message());
    }
    return 1;
  }
  if (!file.isEmpty()) {
    // A file that does not load says so on the status line.
    form.commands().LoadFile(file);
  }
  QuitAfterFirstPaint quitter;
  if (quitAfterShow) {
    form.installEventFilter(&quitter);
  }
  form.show();
  return app.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Brindle"));
  QApplication::setDesktopFileName(QStringLiteral("brindle"));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QCoreApplication::translate("main", "Edits a dashboard configuration (*.S19)."));
  parser.addHelpOption();
  const QCommandLineOption quitAfterShow(
      QStringLiteral("quit-after-show"),
      QCoreApplication::translate("main", "End once the window has been shown (for timing)."));
  parser.addOption(quitAfterShow);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QCoreApplication::translate("main", "Configuration to open."),
                               QStringLiteral("[FILE]"));
  parser.process(app);
  const QStringList files = parser.positionalArguments();

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int status =
      Run(app, parser.isSet(quitAfterShow), files.isEmpty() ? QString() : files.front());
  CoUninitialize();
  return status;
}
