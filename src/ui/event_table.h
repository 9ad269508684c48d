// The two-column table of the 工况 dialogs (the pump schedule, the forebay
// level–area table) with its commands: add a row, remove rows, paste a block
// copied from a spreadsheet (Ctrl+V or the button). Every change checks every
// row with the readers of the batch mode and the case files: a bad row's
// cell is tinted as the main window's boxes are, both its cells' tooltips
// and the message line below the table name the row and column in the
// user's words.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <vector>

#include "model/errors.h"
#include "texts/event_texts.h"

namespace kelvane::ui {

class EventTable : public QWidget {
  Q_OBJECT

 public:
  // `field` is EventField::PumpSchedule or EventField::ForebayAreaTable.
  explicit EventTable(EventField field, QWidget* parent = nullptr);

  QTableWidget* Table() const { return table_; }
  QLabel* Message() const { return message_; }

  // Replaces the rows (the first two cells of each); emits changed().
  void SetRows(const TextTable& rows);
  // The rows as typed, each numbered by its row in the table; rows whose
  // cells are all blank are left out. None: no table.
  TextTable Rows() const;
  // The faults of Rows(), the first of each bad row; an empty table is none.
  const std::vector<ErrorLocation>& Faults() const { return faults_; }

  // Puts the block `text` (rows by lines, cells by tabs, else semicolons or
  // commas; a heading row passed over) at the current cell, or below the
  // last row when none is current, adding rows as needed. A block wider than
  // the columns from there is refused with a message and nothing changes.
  void Paste(const QString& text);

 public slots:
  void addRow();      // "添加行": below the current row, or at the end
  void removeRows();  // "删除行": the selected rows, or the current one
  void paste();       // "粘贴": the clipboard's text

 signals:
  // Any change of the rows, whoever made it, after the check.
  void changed();

 private:
  void Check();

  EventField field_;
  QTableWidget* table_;
  QPushButton* add_;
  QPushButton* remove_;
  QPushButton* paste_;
  QLabel* message_;
  std::vector<ErrorLocation> faults_;
};

// The first line of a fault as the user reads it:
// "泵流量过程第 3 行“时间 (s)”列：时间 5 早于上一行的 10".
QString FaultText(const ErrorLocation& fault);

}  // namespace kelvane::ui
