// Drives the windows for the README's screenshots: the main window with its
// menu bar on the default inputs, a Calculate (the result file goes to a
// temporary folder), the plot and the results window, the 结果 menu open, the
// time-history window (forebay and node 1 overlaid, a cursor read-out) and
// the envelope window, each saved as a PNG into the folder named on the
// command line; then a flagged input box (a typographic minus typed into
// 库水位) with the tooltip that hovering over it shows, grabbed from the
// screen; last the save dialog in Chinese and the question it asks before it
// replaces an existing file. Linked against the windows library like the window tests; the
// program itself carries no automation.
//   kelvane-screenshots FOLDER
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

#include "ui/main_frame.h"
#include "ui/save_dialog.h"
#include "ui/translations.h"

using namespace kelvane::ui;

namespace {

// Moves the cursor over a chart without a real mouse: the read-out follows.
void PointAt(ChartView* view, double fractionX, double fractionY) {
  const kelvane::SceneRect& plot = view->Scene().plot;
  const QPointF at(plot.left + fractionX * plot.width, plot.top + fractionY * plot.height);
  QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(view, &move);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelvane-screenshots FOLDER\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  QTranslator toolkit;
  InstallToolkitTranslations(toolkit);
  QTemporaryDir results;
  MainFrame frame;
  frame.SetSaveFileChooser([&results](const SaveDialogSettings& settings) {
    return results.filePath(settings.presetName);
  });
  frame.move(20, 20);
  frame.show();
  MainWindow& window = *frame.Form();
  bool saved = true;
  auto save = [&](QWidget* widget, const char* name) {
    saved = widget && widget->grab().save(folder.filePath(QLatin1String(name))) && saved;
  };

  // The save dialog on a folder that holds the preset name already: the
  // dialog, then the question its Save asks; no keeps the file, and the
  // dialog is cancelled.
  auto showSaveDialog = [&] {
    QFile existing(results.filePath(QStringLiteral("计算结果.txt")));
    existing.open(QIODevice::WriteOnly);
    existing.close();
    QDir::setCurrent(results.path());
    auto grabModal = [&](const QString& name) {
      QWidget* modal = QApplication::activeModalWidget();
      return modal && modal->grab().save(folder.filePath(name));
    };
    QTimer::singleShot(800, &frame, [&] {
      saved = grabModal(QStringLiteral("save-dialog.png")) && saved;
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      dialog->selectFile(existing.fileName());
      QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); });
      QTimer::singleShot(800, &frame, [&] {
        saved = grabModal(QStringLiteral("overwrite-question.png")) && saved;
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
          box->button(QMessageBox::No)->click();
        QTimer::singleShot(300, &frame, [] {
          if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            open->reject();
        });
      });
    });
    ChooseSaveFile(&frame, ResultFileDialogSettings());
    QApplication::exit(saved ? 0 : 1);
  };

  // The flagged box: the other windows closed, the text typed, the pointer
  // resting on the box (the tooltip event a hover sends).
  auto showFlaggedBox = [&] {
    auto* level = window.findChild<QLineEdit*>(QStringLiteral("Text3"));
    level->setFocus();
    level->setText(QString::fromUtf8("−4.34"));
    const QPoint at = level->rect().center();
    QHelpEvent hover(QEvent::ToolTip, at, level->mapToGlobal(at));
    QApplication::sendEvent(level, &hover);
    QTimer::singleShot(800, &frame, [&] {
      QRect area = frame.frameGeometry();
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->inherits("QTipLabel")) area |= top->frameGeometry();
      const QPixmap screen =
          frame.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
      saved = screen.save(folder.filePath(QStringLiteral("flagged-input.png"))) && saved;
      showSaveDialog();
    });
  };

  QTimer::singleShot(300, &frame, [&] {
    window.calculate();
    window.showPlot();
    window.showResults();
    if (auto* plot = window.plotWindow()) plot->move(frame.frameGeometry().topRight());
    QTimer::singleShot(500, &frame, [&] {
      save(&frame, "main-window.png");
      save(window.plotWindow(), "plot-window.png");
      save(window.resultsWindow(), "results-window.png");
      if (window.plotWindow()) window.plotWindow()->hide();
      if (window.resultsWindow()) window.resultsWindow()->hide();

      // The 结果 menu, open: a grab of the screen, since the menu is a
      // window of its own.
      QAction* resultsMenu = frame.menuBar()->actions().at(1);
      frame.menuBar()->setActiveAction(resultsMenu);
      QTimer::singleShot(500, &frame, [&, resultsMenu] {
        const QRect area = frame.frameGeometry().united(resultsMenu->menu()->geometry());
        saved = QApplication::primaryScreen()
                    ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                    .save(folder.filePath(QStringLiteral("menu.png"))) &&
                saved;
        resultsMenu->menu()->close();

        frame.showHistory();
        HistoryWindow* history = frame.historyWindow();
        history->SetNodes({1, 6});
        history->move(40, 40);
        frame.showEnvelope();
        EnvelopeWindow* envelope = frame.envelopeWindow();
        envelope->move(80, 80);
        QTimer::singleShot(700, &frame, [&, history, envelope] {
          PointAt(history->Chart(), 0.7, 0.3);
          PointAt(envelope->Chart(kelvane::EnvelopeOf::Head), 0.8, 0.3);
          QTimer::singleShot(300, &frame, [&, history, envelope] {
            save(history, "history-window.png");
            save(envelope, "envelope-window.png");
            history->close();
            envelope->close();
            showFlaggedBox();
          });
        });
      });
    });
  });
  return app.exec();
}
