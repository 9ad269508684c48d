// Drives the windows for the README's screenshots: a main window on the
// default inputs, a Calculate (the result file goes to a temporary folder),
// the plot and the results window, each saved as a PNG into the folder named
// on the command line. Linked against the windows library like the window
// tests; the program itself carries no automation.
//   kelvane-screenshots FOLDER
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelvane-screenshots FOLDER\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  QTemporaryDir results;
  kelvane::ui::MainWindow window;
  window.SetSaveFileChooser([&results](const kelvane::ui::SaveDialogSettings& settings) {
    return results.filePath(settings.presetName);
  });
  window.show();

  QTimer::singleShot(300, &window, [&] {
    window.calculate();
    window.showPlot();
    window.showResults();
    if (auto* plot = window.plotWindow()) plot->move(window.frameGeometry().topRight());
    QTimer::singleShot(500, &window, [&] {
      bool saved = window.grab().save(folder.filePath(QStringLiteral("main-window.png")));
      if (auto* plot = window.plotWindow())
        saved = plot->grab().save(folder.filePath(QStringLiteral("plot-window.png"))) && saved;
      if (auto* table = window.resultsWindow())
        saved = table->grab().save(folder.filePath(QStringLiteral("results-window.png"))) && saved;
      QApplication::exit(saved ? 0 : 1);
    });
  });
  return app.exec();
}
