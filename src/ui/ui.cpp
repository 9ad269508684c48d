#include "ui/ui.h"

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QTranslator>
#include <cstdio>

#include "evaluation/report.h"
#include "files/output.h"
#include "run/run_case.h"
#include "ui/calculation_report.h"
#include "ui/chart_painter.h"
#include "ui/chart_view.h"
#include "ui/main_window.h"
#include "ui/picture.h"
#include "ui/report_pdf.h"
#include "ui/translations.h"

namespace kelvane::ui {

namespace {

// The batch mode prints nothing on success: the toolkit's notes about the
// offscreen platform are dropped, its critical messages kept.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

// Image work needs an application object but no screen: the offscreen
// platform, whatever QT_QPA_PLATFORM and DISPLAY say. Where none exists (the
// batch mode), one is made for the drawing and destroyed after it, so that
// the toolkit releases what it holds (the font caches) before the program
// ends.
template <class Draw>
void WithApplication(Draw&& draw) {
  if (QCoreApplication::instance()) {
    draw();
    return;
  }
  struct QuietScope {
    QtMessageHandler previous = qInstallMessageHandler(QuietMessages);
    ~QuietScope() { qInstallMessageHandler(previous); }
  } quiet;
  int argc = 3;
  char name[] = "kelvane";
  char option[] = "-platform";
  char platform[] = "offscreen";
  char* argv[] = {name, option, platform, nullptr};
  QApplication app(argc, argv);
  draw();
}

}  // namespace

int RunMainWindow(int argc, char** argv) {
  UseInterfaceLocale();
  QApplication app(argc, argv);
  // The interface is Chinese: the toolkit's own dialogs and buttons too.
  QTranslator toolkit;
  InstallToolkitTranslations(toolkit);
  MainWindow window;
  window.show();
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
    at.stage = Stage::ForebayLevelLine;
    at.file = path;
    throw RunError(ErrorCode::OutOfMemory, at);
  }
  WriteFileAtomically(path, [&png](const ByteWriter& write) {
    write(std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
  });
}

void SaveHistoryImage(const SurgeRun& run, const RunOutcome& outcome, const std::vector<int>& nodes,
                      ChartQuantity quantity, const std::string& path) {
  WithApplication([&] {
    SaveChartImage(HistoryChart(run, GeometryOf(outcome), nodes, quantity), kImageWidth,
                   kImageHeight, path);
  });
}

void SaveDataImage(const ChartData& chart, const std::string& path) {
  WithApplication([&] { SaveChartImage(chart, kImageWidth, kImageHeight, path); });
}

void SaveCalculationBook(const BookInput& book, const std::string& path) {
  WithApplication([&] { WriteReportDocument(CalculationBook(book), path); });
}

void SaveReportDocument(const ReportDocument& document, const std::string& path) {
  WithApplication([&] { WriteReportDocument(document, path); });
}

}  // namespace kelvane::ui
