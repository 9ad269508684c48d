// "前池水位–面积…": the forebay's level–area table of the runs the window
// calculates, with a preview of the area against the level and the stability
// limit of the forebay update the boxes give. 确定 is refused while a row is
// bad; an empty table, or 清除, leaves the constant area of the boxes.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <optional>

#include "model/inputs.h"
#include "texts/event_texts.h"
#include "ui/chart_view.h"
#include "ui/event_dialog_frame.h"
#include "ui/event_table.h"

namespace kelvane::ui {

class ForebayTableDialog : public QDialog {
  Q_OBJECT

 public:
  ForebayTableDialog(const EventTexts& events, const InputTexts& inputs, QWidget* parent = nullptr);

  // `events` with the area table as the dialog holds it (none when empty).
  EventTexts Events() const;
  bool Acceptable() const { return frame_.ok->isEnabled(); }

  EventTable* AreaTable() const { return table_; }
  ChartView* Preview() const { return frame_.preview; }

 public slots:
  // Refused while a field or row is bad.
  void accept() override {
    if (frame_.ok->isEnabled()) QDialog::accept();
  }
  void clearTable();  // "清除"

 private:
  void Update();

  EventTexts events_;
  std::optional<double> limit_;  // m², the stability limit the boxes give
  QString boxArea_;              // the box's area, as typed
  EventTable* table_;
  EventDialogFrame frame_ = {};
};

}  // namespace kelvane::ui
