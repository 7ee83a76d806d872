// Redrawing the display preview after a keystroke: a key typed into a
// window's position field makes the preview read the form's fields again
// and paint itself. The target is at most 2 ms.
//
//   build/bin/bench_editor_preview
//
// Runs on the offscreen platform with the component registered in a
// registry of its own.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>

#include <memory>

#include <objbase.h>
#include <windows.h>

#include "commands.h"
#include "form.h"
#include "preview.h"

namespace {

class NoDialogs : public brindle::Dialogs {
 public:
  std::optional<QString> ShowOpen(const brindle::FileDialogRequest&) override { return {}; }
  std::optional<QString> ShowSave(const brindle::FileDialogRequest&) override { return {}; }
  std::optional<OLE_COLOR> ShowColor(OLE_COLOR) override { return {}; }
};

void Key(QWidget* target, int key, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &release);
}

void BM_PreviewAfterKeystroke(benchmark::State& state) {
  brindle::Form1 form(brindle::CreatePreferences, std::make_unique<NoDialogs>());
  form.Form_Load();
  form.ClockX->setFocus();
  form.ClockX->setText(QStringLiteral("1"));
  form.ClockX->end(false);
  QImage image(form.Preview->size(), QImage::Format_ARGB32_Premultiplied);
  bool typed = false;
  for (auto _ : state) {
    // "1" -> "15" -> "1" -> ...: every key moves the clock window.
    if (typed) {
      Key(form.ClockX, Qt::Key_Backspace, QString());
    } else {
      Key(form.ClockX, Qt::Key_5, QStringLiteral("5"));
    }
    typed = !typed;
    form.Preview->render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
  // The keys did move the clock window.
  if (form.Preview->boxes()[WIN_CLOCK].rect.left() != (typed ? 15 : 1)) {
    state.SkipWithError("the preview did not follow the keys");
  }
}
BENCHMARK(BM_PreviewAfterKeystroke)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir dir;
  qputenv("QUILLON_REGISTRY", dir.filePath(QStringLiteral("registry.txt")).toLocal8Bit());
  HMODULE library = LoadLibraryA(QUILLON_COMPONENT_PATH);
  auto registerServer = library != nullptr ? reinterpret_cast<HRESULT (*)()>(
                                                 GetProcAddress(library, "DllRegisterServer"))
                                           : nullptr;
  if (registerServer == nullptr || registerServer() != S_OK) {
    std::fprintf(stderr, "cannot register %s\n", QUILLON_COMPONENT_PATH);
    return 1;
  }
  QApplication app(argc, argv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CoUninitialize();
  FreeLibrary(library);
  return 0;
}
