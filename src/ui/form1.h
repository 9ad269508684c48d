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

#include "output/output.h"
#include "solver/solver.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "ui/progressbar.h"

namespace kelvane::ui {

class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(QWidget* parent = nullptr);
  ~Form1() override;

  // Where the result file's name comes from; the save dialog by default.
  void SetFileNameProvider(FileNameProvider provider);

  const SurgeRun& Run() const { return run_; }
  RealProgressBar* ProgressBar1() const { return progressBar1_; }
  Form2* ResultsWindow() const { return form2_.get(); }  // null until first used
  Form3* PlotWindow() const { return form3_; }           // null when not existing

 public slots:
  void Command1_Click();  // "计算"
  void Command2_Click();  // "退出"
  void Command3_Click();  // "输出图形"
  void Command4_Click();  // "结果查询"

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  InputTexts ReadInputs() const;
  void SetOutputCommandsEnabled(bool enabled);
  void ReportError(const RunError& error);

  std::array<QLabel*, kInputCount> labels_{};
  std::array<QLineEdit*, kInputCount> texts_{};
  QPushButton* command1_;
  QPushButton* command2_;
  QPushButton* command3_;
  QPushButton* command4_;
  RealProgressBar* progressBar1_;

  SurgeRun run_;
  FileNameProvider chooseFile_;
  std::unique_ptr<Form2> form2_;
  QPointer<Form3> form3_;
};

// The run-time error message: "运行时错误 'N':", a blank line, the
// description, and where it happened on the next line.
QString RunErrorText(const RunError& error);

}  // namespace kelvane::ui
