// "泵流量过程…": the pump event of the runs the window calculates. The ramp
// (change time Tc and exponent m from the steady discharge to the final pump
// discharge), the schedule table that replaces it, and the unit-sequence
// generator that fills the schedule (k units of q m³/s stopping or starting
// one after another). A preview shows Q(t) as the run would use it. 确定
// is refused while a field or row is bad; 清除 drops the whole pump event, so
// that the run is the sudden change of the boxes again.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>
#include <string>

#include "model/inputs.h"
#include "texts/event_texts.h"
#include "ui/chart_view.h"
#include "ui/event_dialog_frame.h"
#include "ui/event_table.h"

namespace kelvane::ui {

class PumpEventDialog : public QDialog {
  Q_OBJECT

 public:
  // `events` are the texts in force; `inputs` the boxes (the steady and final
  // discharge, the run's duration for the preview).
  PumpEventDialog(const EventTexts& events, const InputTexts& inputs, QWidget* parent = nullptr);

  // `events` with its pump part as the dialog holds it: a unit sequence as
  // its text while the table is as the generator filled it, else the table
  // as a schedule; a ramp field left at its default and not in `events`
  // stays out.
  EventTexts Events() const;
  // Whether every field and row can be used (确定 is enabled).
  bool Acceptable() const { return acceptable_; }

  EventTable* Schedule() const { return schedule_; }
  ChartView* Preview() const { return frame_.preview; }

 public slots:
  // Refused while a field or row is bad.
  void accept() override {
    if (acceptable_) QDialog::accept();
  }
  // "生成流量过程": the unit sequence's points into the table, or the
  // generator's fault in its message line.
  void generate();
  void clearEvent();  // "清除"

 private:
  void Update();
  std::string UnitsText() const;
  void ShowUnits(const std::string& text);
  // Whether the generator may replace the table's rows: asked first when
  // they are not its own.
  bool ReplaceRowsAllowed();

  EventTexts events_;
  double steady_;                     // m³/s, Q0 as the boxes give it
  float final_;                       // m³/s, Q1
  double duration_ = 0;               // s, of the run the boxes give
  std::optional<std::string> units_;  // the generator's text while the table is its output
  bool filling_ = false;
  bool acceptable_ = false;

  QLineEdit* rampTime_;
  QLineEdit* rampExponent_;
  QLineEdit* unitCount_;
  QLineEdit* unitDischarge_;
  QComboBox* unitDirection_;
  QLineEdit* firstTime_;
  QLineEdit* interval_;
  QLineEdit* unitRamp_;
  QPushButton* generate_;
  QLabel* generatorMessage_;
  EventTable* schedule_;
  EventDialogFrame frame_ = {};
};

}  // namespace kelvane::ui
