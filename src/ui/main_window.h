// The main window: the sixteen input boxes, the commands Calculate, Exit,
// plot and results, and the progress bar. It owns the run state.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

#include "solver/solver.h"
#include "ui/plot_window.h"
#include "ui/progress_bar.h"
#include "ui/results_window.h"
#include "ui/save_dialog.h"

namespace kelvane::ui {

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Where the result file's name comes from; the save dialog by default.
  void SetSaveFileChooser(SaveFileChooser chooser);

  const SurgeRun& Run() const { return run_; }
  // The parameters of the last complete run; null when the last Calculate
  // failed or none has run.
  const RunOutcome* CompletedRun() const { return completed_ ? &*completed_ : nullptr; }
  InputTexts Inputs() const { return ReadInputs(); }
  void SetInputs(const InputTexts& texts);
  QLineEdit* InputBox(InputId id) const { return Box(id); }
  QPushButton* PlotCommand() const { return command3_; }
  QPushButton* ResultsCommand() const { return command4_; }
  // Closes the plot and results windows.
  void CloseOtherWindows();
  RealProgressBar* ProgressBar1() const { return progressBar1_; }
  ResultsWindow* resultsWindow() const { return form2_.get(); }  // null until first used
  PlotWindow* plotWindow() const { return form3_; }              // null when not existing

 public slots:
  void calculate();    // "计算"
  void exitProgram();  // "退出"
  void showPlot();     // "输出图形"
  void showResults();  // "结果查询"
  // Writes the result file of the last complete run again, through the
  // same save dialog, without calculating.
  void saveResultFile();

 signals:
  // A Calculate begins: the run state is about to be replaced.
  void runStarted();
  // Calculate has ended, with a complete run or without one.
  void runFinished(bool complete);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  InputTexts ReadInputs() const;
  QLineEdit* Box(InputId id) const { return texts_[static_cast<std::size_t>(id)]; }
  void SetOutputCommandsEnabled(bool enabled);
  // Tints the flagged boxes and gives every box its reading as a tooltip.
  void ShowInputFlags();
  void ReportError(const RunError& error);

  std::array<QLabel*, kInputCount> labels_{};
  std::array<QLineEdit*, kInputCount> texts_{};  // in box order
  QPushButton* command1_;
  QPushButton* command2_;
  QPushButton* command3_;
  QPushButton* command4_;
  RealProgressBar* progressBar1_;

  SurgeRun run_;
  std::optional<RunOutcome> completed_;
  SaveFileChooser chooseFile_;
  std::unique_ptr<ResultsWindow> form2_;
  QPointer<PlotWindow> form3_;
};

// The run-time error message as the message box shows it.
QString RunErrorMessage(const RunError& error);
// The modal message box of a run-time error ("RunErrorMessage"), over `parent`.
void ShowRunError(QWidget* parent, const RunError& error);

}  // namespace kelvane::ui
