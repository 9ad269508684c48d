// The input form, the main window's client area: the sixteen input boxes,
// the commands Calculate, Exit, plot and results, and the progress bar. The
// boxes and the run are those of its case session (its own when none is
// given); the windows that show a run belong to the main window.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "model/model.h"
#include "run/run_case.h"
#include "texts/prepared_case.h"
#include "ui/case_session.h"
#include "ui/picture.h"
#include "ui/progress_bar.h"
#include "ui/save_dialog.h"

namespace kelvane::ui {

class InputForm : public QWidget {
  Q_OBJECT

 public:
  // The boxes show `session`'s texts and put what is typed in force there;
  // without a session the form makes its own.
  explicit InputForm(QWidget* parent = nullptr, CaseSession* session = nullptr);

  CaseSession& Session() const { return *session_; }

  // Where the result file's name comes from; the save dialog by default.
  void SetSaveFileChooser(SaveFileChooser chooser);

  const SurgeRun& Run() const { return session_->LastRun().run; }
  // The parameters of the last complete run; null when the last Calculate
  // failed or none has run.
  const RunOutcome* CompletedRun() const { return session_->CompletedRun(); }
  // The boxes as typed for the last complete run.
  const InputTexts& CompletedInputs() const { return session_->CompletedCase().typed.texts; }
  InputTexts Inputs() const { return ReadInputs(); }
  void SetInputs(const InputTexts& texts);
  // The pump event, forebay area table, model and design data of `prepared`
  // put in force in the session; the boxes, the title and the notes stay.
  // With a level–area table the 前池水面面积 box is greyed: not read; with
  // the mixed model the 箱涵断面面积 and 水力半径 boxes are.
  void SetCase(PreparedCase prepared);
  const ModelExtras& ModelExtrasInForce() const { return session_->Prepared().extras; }
  QLineEdit* InputBox(InputId id) const { return Box(id); }
  QPushButton* CalculateButton() const { return calculateButton_; }
  QPushButton* PlotButton() const { return plotButton_; }
  QPushButton* ResultsButton() const { return resultsButton_; }
  RealProgressBar* ProgressBar() const { return progressBar_; }

  // The plot of the run on `picture` (the plot window's picture or a fresh
  // one); false after the error's message when drawing fails.
  bool DrawPlot(PlotPicture& picture);
  // The results table for the range the boxes hold now, which the run keeps
  // for later; nullopt after the error's message when it cannot be made.
  std::optional<std::string> ResultsTable();

 public slots:
  void calculate();    // "计算"
  void exitProgram();  // "退出"
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

 private:
  InputTexts ReadInputs() const;
  QLineEdit* Box(InputId id) const { return boxes_[static_cast<std::size_t>(id)]; }
  void SetOutputCommandsEnabled(bool enabled);
  // Tints the flagged boxes and gives every box its reading as a tooltip.
  void ShowInputFlags();

  std::array<QLabel*, kInputCount> captions_{};
  std::array<QLineEdit*, kInputCount> boxes_{};  // in box order
  QPushButton* calculateButton_;
  QPushButton* exitButton_;
  QPushButton* plotButton_;
  QPushButton* resultsButton_;
  RealProgressBar* progressBar_;

  // Writes the result file of the last complete run through the save dialog.
  std::optional<RunError> WriteResult();

  CaseSession* session_;
  SaveFileChooser chooseFile_;
};

// Gives `box` the tooltip and tint of a checked box: its caption and unit,
// what its text reads as (no such line without `value`) and, when
// `flagText` says why it is flagged, that text and the flagged tint.
void ShowBoxCheck(QLineEdit* box, const char* caption, const char* unit,
                  std::optional<double> value, const std::string& flagText);
// That tooltip alone (a table's cell holding a box's text).
QString BoxCheckToolTip(const char* caption, const char* unit, std::optional<double> value,
                        const std::string& flagText);

}  // namespace kelvane::ui
