#include "ui/ui.h"

#include <QApplication>
#include <QBuffer>
#include <QByteArray>

#include "output/output.h"
#include "ui/automation.h"
#include "ui/form1.h"
#include "ui/picture.h"

namespace kelvane::ui {

int RunMainWindow(int argc, char** argv) {
  QApplication app(argc, argv);
  Form1 form;
  InstallAutomation(form);
  form.show();
  return app.exec();
}

void SavePlotPng(const SurgeRun& run, const std::string& path) {
  PlotPicture picture;
  DrawForebayPlot(picture, run);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!picture.Image().save(&buffer, "PNG")) throw RunError(ErrorCode::OutOfMemory, path);
  WriteFileAtomically(path, [&png](const ByteWriter& write) {
    write(std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
  });
}

}  // namespace kelvane::ui
