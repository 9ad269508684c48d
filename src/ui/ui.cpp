#include "ui/ui.h"

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QTranslator>

#include "output/output.h"
#include "ui/main_window.h"
#include "ui/picture.h"
#include "ui/translations.h"

namespace kelvane::ui {

int RunMainWindow(int argc, char** argv) {
  QApplication app(argc, argv);
  // The interface is Chinese: the toolkit's own dialogs and buttons too.
  QTranslator toolkit;
  InstallToolkitTranslations(toolkit);
  MainWindow form;
  form.show();
  return app.exec();
}

void SavePlotPng(const SurgeRun& run, const std::string& path) {
  PlotPicture picture;
  DrawForebayPlot(picture, run);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!picture.Image().save(&buffer, "PNG")) {
    ErrorLocation at;
    at.stage = Stage::Plot;
    at.file = path;
    throw RunError(ErrorCode::OutOfMemory, at);
  }
  WriteFileAtomically(path, [&png](const ByteWriter& write) {
    write(std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
  });
}

}  // namespace kelvane::ui
