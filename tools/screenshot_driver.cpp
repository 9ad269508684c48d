// Drives the windows for the manual's screenshots: the main window with its
// menu bar on the default inputs, a Calculate (the result file goes to a
// temporary folder), the plot and the results window, the 结果 menu open, the
// time-history window (forebay and node 1 overlaid, a cursor read-out) and
// the envelope window and the help, each saved as a PNG into the folder
// named on the command line; then a flagged input box (a typographic minus typed into
// 库水位) with the tooltip that hovering over it shows, grabbed from the
// screen; the 泵流量过程 dialog with a generated unit sequence; the 工况表
// dialog with three operating cases; the 工程信息
// dialog with a project typed; the time history of three operating cases;
// the time history and the envelope of the two mixed-flow cases in
// FOLDER/examples; the 设计资料
// dialog with the envelope of the design data; last the save dialog in
// Chinese and the question it asks before it replaces an existing file.
// Linked against the windows library like the window tests; the
// program itself carries no automation.
//   kelvane-screenshots FOLDER
#include <QApplication>
#include <QDialog>
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
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "ui/cases_dialog.h"
#include "ui/main_window.h"
#include "ui/project_dialog.h"
#include "ui/pump_event_dialog.h"
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
  UseInterfaceLocale();
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelvane-screenshots FOLDER\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  QTranslator toolkit;
  InstallToolkitTranslations(toolkit);
  QTemporaryDir results;
  MainWindow window;
  window.SetSaveFileChooser([&results](const SaveDialogSettings& settings) {
    return results.filePath(settings.presetName);
  });
  window.move(20, 20);
  window.show();
  InputForm& form = *window.inputForm();
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
    QTimer::singleShot(800, &window, [&] {
      saved = grabModal(QStringLiteral("save-dialog.png")) && saved;
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      dialog->selectFile(existing.fileName());
      QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); });
      QTimer::singleShot(800, &window, [&] {
        saved = grabModal(QStringLiteral("overwrite-question.png")) && saved;
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
          box->button(QMessageBox::No)->click();
        QTimer::singleShot(300, &window, [] {
          if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            open->reject();
        });
      });
    });
    ChooseSaveFile(&window, ResultFileDialogSettings());
    QApplication::exit(saved ? 0 : 1);
  };

  // The design data in force (a clear height read only in part): the
  // 设计资料 dialog over the main window beside the envelope window with its
  // design lines and failing spans, grabbed from the screen since all three
  // are windows of their own; then no design data again.
  auto showDesignData = [&] {
    kelvane::DesignTexts design;
    const char* texts[] = {"-8", "-8.5", "3.3abc", "1.5", "-1", "0.5", "-6"};
    // The first fields only: those after them stay empty.
    for (const kelvane::DesignField& field : kelvane::DesignFields())
      if (static_cast<std::size_t>(field.id) < std::size(texts))
        design[field.id] = texts[static_cast<int>(field.id)];
    window.SetDesign(design);
    window.showEnvelope();
    EnvelopeWindow* envelope = window.envelopeWindow();
    envelope->resize(615, 640);
    envelope->move(window.frameGeometry().right() + 10, 20);
    QTimer::singleShot(1000, &window, [&, envelope] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog) return;
      dialog->move(window.geometry().left() + 30, window.geometry().top() + 40);
      QTimer::singleShot(500, &window, [&, envelope, dialog] {
        const QRect area = window.frameGeometry() | envelope->frameGeometry();
        saved = window.screen()
                    ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                    .save(folder.filePath(QStringLiteral("design-data.png"))) &&
                saved;
        static_cast<QDialog*>(dialog)->reject();
      });
    });
    window.editDesign();
    envelope->close();
    window.SetDesign({});
    showSaveDialog();
  };

  // The cases of the mixed-flow model (FOLDER/examples), each opened and
  // calculated: its time history (the nodes the surge passes, the read-out
  // at the forebay's lowest level) and its envelope (the water surface
  // against the invert and the banks or the soffit); then the default case
  // again with the design data.
  std::function<void(std::size_t)> showMixedExample = [&](std::size_t k) {
    struct Example {
      const char* file;
      const char* picture;
      std::vector<int> nodes;
      double lowest;  // the forebay's lowest level's time over the run's
    };
    static const Example kExamples[] = {
        {"channel-pump-start", "mixed-channel", {2, 3, 4, 5, 6}, 204.536 / 357.878},
        {"culvert-draining-pump-start", "mixed-culvert", {3, 5, 6}, 85.323 / 178.879}};
    if (k == std::size(kExamples)) {
      // The default case calculated again, so that the envelope beside the
      // design data is its own and not the last example's.
      window.newCase();
      form.calculate();
      showDesignData();
      return;
    }
    window.openCase(
        folder.filePath(QStringLiteral("examples/%1.toml").arg(QLatin1String(kExamples[k].file))));
    form.calculate();
    window.showHistory();
    HistoryWindow* history = window.historyWindow();
    history->SetNodes(kExamples[k].nodes);
    history->resize(1240, 600);  // wide enough for the read-out of every node
    history->move(20, 40);
    window.showEnvelope();
    EnvelopeWindow* envelope = window.envelopeWindow();
    envelope->Tabs()->setCurrentIndex(0);
    envelope->resize(1100, 700);
    envelope->move(80, 80);
    QTimer::singleShot(700, &window, [&, k, history, envelope] {
      PointAt(history->Chart(), kExamples[k].lowest, 0.5);
      QTimer::singleShot(300, &window, [&, k, history, envelope] {
        const std::string picture = kExamples[k].picture;
        save(history, (picture + "-history.png").c_str());
        save(envelope, (picture + "-envelope.png").c_str());
        history->close();
        envelope->close();
        showMixedExample(k + 1);
      });
    });
  };

  // A case file with two operating cases, calculated and its book run: the
  // time-history and forebay-level windows with the three cases ticked, the
  // forebay level of each in its colour; then the default case again.
  auto showCaseCharts = [&] {
    const QString path = results.filePath(QStringLiteral("工况.toml"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(
        "title = \"设计库水位事故停泵\"\n"
        "[[cases]]\nname = \"最高库水位事故停泵\"\nreservoir-level = \"-3.5\"\n"
        "[[cases]]\nname = \"设计库水位正常停机\"\npump-ramp-time = 120\n");
    file.close();
    window.openCase(path);
    form.calculate();
    window.RunBook();
    window.showHistory();
    HistoryWindow* history = window.historyWindow();
    history->SetNodes({6});
    history->Cases()->SetPicked({0, 1, 2});
    history->move(40, 40);
    // The forebay level window, given the cases by the book.
    PlotWindow* plot = window.plotWindow();
    if (plot) {
      plot->Cases()->SetPicked({0, 1, 2});
      plot->move(80, 80);
      plot->show();
    }
    QTimer::singleShot(700, &window, [&, history, plot] {
      save(history, "case-charts.png");
      save(plot, "forebay-cases.png");
      if (plot) plot->hide();
      history->close();
      showMixedExample(0);
    });
  };

  // The status line of a case with a unit sequence, an area table and design
  // data: the items that fit, then "…", and under the pointer its tooltip
  // with every item; then the default case again.
  auto showStatusLine = [&] {
    const QString path = results.filePath(QStringLiteral("泵站.toml"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(
        "[pump]\nunits = \"4:-10.4:0:30:10\"\n"
        "[forebay]\narea-table = [[-10, 450], [-5, 1350], [0, 2700]]\n"
        "[design]\nforebay-wall-top = \"-2\"\nforebay-freeboard = \"0.5\"\n"
        "pump-min-level = \"-5.5\"\n");
    file.close();
    window.openCase(path);
    window.raise();
    window.activateWindow();
    auto* line = window.findChild<QLabel*>(QStringLiteral("RunPreview"));
    QTimer::singleShot(500, &window, [line] {
      const QPoint at(line->width() / 3, line->height() / 2);
      QHelpEvent hover(QEvent::ToolTip, at, line->mapToGlobal(at));
      QApplication::sendEvent(line, &hover);
    });
    QTimer::singleShot(1300, &window, [&] {
      QRect area = window.frameGeometry();
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->inherits("QTipLabel")) area |= top->frameGeometry();
      saved = window.screen()
                  ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                  .save(folder.filePath(QStringLiteral("status-line.png"))) &&
              saved;
      showCaseCharts();
    });
  };

  // 文件 → 工程信息…: a project's cover, sign-off names and basis typed.
  auto showProjectDialog = [&] {
    kelvane::ProjectInfo project;
    project.name = "某泵站工程";
    project.stage = "初步设计";
    project.number = "JS-2026-017";
    project.calculatedBy = "张三";
    project.checkedBy = "李四";
    project.basis = {"《泵站设计标准》GB 50265-2022", "本工程初步设计报告"};
    auto* dialog = new ProjectDialog(project, &window);
    dialog->show();
    QTimer::singleShot(700, &window, [&, dialog] {
      save(dialog, "project-dialog.png");
      dialog->reject();
      dialog->deleteLater();
      showStatusLine();
    });
  };

  // 工况 → 工况表…: three operating cases, each with only what differs from
  // the main window's.
  auto showCasesDialog = [&] {
    kelvane::Case base;
    base.texts = form.Inputs();
    const std::vector<kelvane::OperatingCase> cases = {
        {"最高库水位事故停泵", {{"reservoir-level", "-3.5"}}},
        {"最低库水位正常停机", {{"reservoir-level", "-6"}, {"pump-ramp-time", "120"}}},
        {"设计库水位开机", {{"pump-schedule", "0:0,60:41.6"}}},
    };
    auto* dialog = new CasesDialog(base, cases, &window);
    dialog->show();
    QTimer::singleShot(700, &window, [&, dialog] {
      save(dialog, "cases-dialog.png");
      dialog->reject();
      dialog->deleteLater();
      showProjectDialog();
    });
  };

  // 工况 → 泵流量过程…: two units stopping 60 s apart, as the generator
  // fills the schedule.
  auto showPumpDialog = [&] {
    auto* dialog = new PumpEventDialog(kelvane::EventTexts{}, form.Inputs(), &window);
    dialog->findChild<QLineEdit*>(QStringLiteral("UnitInterval"))->setText(QStringLiteral("60"));
    dialog->findChild<QLineEdit*>(QStringLiteral("UnitRampTime"))->setText(QStringLiteral("20"));
    dialog->generate();
    dialog->show();
    QTimer::singleShot(700, &window, [&, dialog] {
      save(dialog, "pump-event-dialog.png");
      dialog->reject();
      dialog->deleteLater();
      showCasesDialog();
    });
  };

  // The flagged box: the other windows closed, the text typed, the pointer
  // resting on the box (the tooltip event a hover sends).
  auto showFlaggedBox = [&] {
    auto* level = form.findChild<QLineEdit*>(QStringLiteral("Text3"));
    level->setFocus();
    level->setText(QString::fromUtf8("−4.34"));
    // Tooltips show over the active window only: under a window manager the
    // main window is activated again after the other windows closed.
    window.raise();
    window.activateWindow();
    QTimer::singleShot(500, &window, [&, level] {
      const QPoint at = level->rect().center();
      QHelpEvent hover(QEvent::ToolTip, at, level->mapToGlobal(at));
      QApplication::sendEvent(level, &hover);
    });
    QTimer::singleShot(1300, &window, [&, level] {
      QRect area = window.frameGeometry();
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->inherits("QTipLabel")) area |= top->frameGeometry();
      const QPixmap screen =
          window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
      saved = screen.save(folder.filePath(QStringLiteral("flagged-input.png"))) && saved;
      level->setText(QStringLiteral("-4.34"));
      showPumpDialog();
    });
  };

  QTimer::singleShot(300, &window, [&] {
    form.calculate();
    window.showPlot();
    window.showResults();
    if (auto* plot = window.plotWindow()) plot->move(window.frameGeometry().topRight());
    QTimer::singleShot(500, &window, [&] {
      save(&window, "main-window.png");
      save(window.plotWindow(), "plot-window.png");
      save(window.resultsWindow(), "results-window.png");
      if (window.plotWindow()) window.plotWindow()->hide();
      if (window.resultsWindow()) window.resultsWindow()->hide();

      // The 结果 menu, open: a grab of the screen, since the menu is a
      // window of its own.
      QAction* resultsMenu = nullptr;
      for (QAction* menu : window.menuBar()->actions())
        if (menu->text().startsWith(QStringLiteral("结果"))) resultsMenu = menu;
      window.menuBar()->setActiveAction(resultsMenu);
      QTimer::singleShot(500, &window, [&, resultsMenu] {
        const QRect area = window.frameGeometry().united(resultsMenu->menu()->geometry());
        saved = QApplication::primaryScreen()
                    ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                    .save(folder.filePath(QStringLiteral("menu.png"))) &&
                saved;
        resultsMenu->menu()->close();

        window.showHistory();
        HistoryWindow* history = window.historyWindow();
        history->SetNodes({1, 6});
        history->move(40, 40);
        window.showEnvelope();
        EnvelopeWindow* envelope = window.envelopeWindow();
        envelope->move(80, 80);
        QTimer::singleShot(700, &window, [&, history, envelope] {
          PointAt(history->Chart(), 0.7, 0.3);
          PointAt(envelope->Chart(kelvane::EnvelopeOf::Head), 0.8, 0.3);
          QTimer::singleShot(300, &window, [&, history, envelope] {
            save(history, "history-window.png");
            save(envelope, "envelope-window.png");
            history->close();
            envelope->close();
            // The help, opened as F1 opens it.
            window.showHelp();
            QTimer::singleShot(500, &window, [&] {
              QWidget* help = nullptr;
              for (QWidget* top : QApplication::topLevelWidgets())
                if (top->objectName() == QStringLiteral("HelpWindow")) help = top;
              save(help, "help-window.png");
              if (help) help->close();
              showFlaggedBox();
            });
          });
        });
      });
    });
  });
  return app.exec();
}
