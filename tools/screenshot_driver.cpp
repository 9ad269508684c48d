// Drives the windows for the README's screenshots: a main window on the
// default inputs, a Calculate (the result file goes to a temporary folder),
// the plot and the results window, each saved as a PNG into the folder named
// on the command line; then a flagged input box (a typographic minus typed
// into 库水位) with the tooltip that hovering over it shows, grabbed from the
// screen. Linked against the windows library like the window tests; the
// program itself carries no automation.
//   kelvane-screenshots FOLDER
#include <QApplication>
#include <QDir>
#include <QHelpEvent>
#include <QLineEdit>
#include <QScreen>
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

  // The flagged box: the other windows closed, the text typed, the pointer
  // resting on the box (the tooltip event a hover sends).
  auto showFlaggedBox = [&] {
    if (auto* plot = window.plotWindow()) plot->close();
    if (auto* table = window.resultsWindow()) table->close();
    auto* level = window.findChild<QLineEdit*>(QStringLiteral("Text3"));
    level->setFocus();
    level->setText(QString::fromUtf8("−4.34"));
    const QPoint at = level->rect().center();
    QHelpEvent hover(QEvent::ToolTip, at, level->mapToGlobal(at));
    QApplication::sendEvent(level, &hover);
    QTimer::singleShot(800, &window, [&] {
      QRect area = window.frameGeometry();
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->inherits("QTipLabel")) area |= top->frameGeometry();
      const QPixmap screen =
          window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
      QApplication::exit(screen.save(folder.filePath(QStringLiteral("flagged-input.png"))) ? 0 : 1);
    });
  };

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
      if (!saved) {
        QApplication::exit(1);
        return;
      }
      showFlaggedBox();
    });
  });

  return app.exec();
}
