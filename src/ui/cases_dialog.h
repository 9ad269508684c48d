// "工况表…": the operating cases of the station over the main window's case.
// Each row is a case: its name, then only what differs from the main
// window's boxes, design data and 工况, one column per item (a batch
// option's name, as the case file's [[cases]] keys are); a blank cell takes
// the main window's text. Every change checks every row as the main window
// checks its boxes: a flagged cell is tinted, its tooltip says why, and the
// message line below names the first fault. A row without a name, two rows
// of one name, or a pump event or table that cannot be read keep 确定 and
// 计算全部工况 disabled; a box's flag (a text not read whole) does not, as
// the main window's does not keep 计算 from running.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "run/case_item.h"
#include "run/run_case.h"
#include "texts/case.h"

namespace kelvane::ui {

// What the dialog's exec() returns when 计算全部工况 has calculated every
// case: its cases are put in force as after 确定, with their runs.
inline constexpr int kAcceptedToRun = QDialog::Accepted + 2;

class CasesDialog : public QDialog {
  Q_OBJECT

 public:
  // `base` is the main window's case; `cases` the operating cases in force.
  CasesDialog(const Case& base, const std::vector<OperatingCase>& cases, QWidget* parent = nullptr);
  ~CasesDialog() override;

  // The rows as typed, in their order: each row with a name or a cell, its
  // changes in column order, blank cells left out.
  std::vector<OperatingCase> Cases() const;
  bool Acceptable() const { return ok_->isEnabled(); }

  QTableWidget* Table() const { return table_; }  // "CaseTable"
  QLabel* Message() const { return message_; }    // "CaseMessage"
  // The items of the columns after the name's.
  const std::vector<CaseItem>& Columns() const { return columns_; }

  QProgressBar* Progress() const { return progress_; }  // "CasesProgress"
  bool Running() const { return worker_.joinable(); }
  // After kAcceptedToRun: each case as run (the base with its changes made,
  // prepared) and its run, in the rows' order.
  const std::vector<PreparedCase>& RunCases() const { return runCases_; }
  std::vector<CaseRun>& Runs() { return runs_; }

  // Adds a column for `item` at the end, unless it has one.
  void AddColumn(const CaseItem& item);
  // Puts the block `text` (a spreadsheet's copy: rows by lines, cells by
  // tabs, else semicolons or commas) at the current cell, or below the last
  // row when none is current, adding rows as needed. A block wider than the
  // columns from there is refused with a message and nothing changes.
  void Paste(const QString& text);

 public slots:
  void accept() override;  // refused while a row cannot be used or cases run
  void reject() override;  // stops the cases running first
  // "计算全部工况": every case on every processor, the bar following them;
  // the button then reads "停止". Closes with kAcceptedToRun once all have
  // run; a stop or a case that cannot run keeps the dialog open and says so.
  void runAll();
  void addRow();        // "添加行"
  void removeRows();    // "删除行": the selected rows, or the current one
  void addColumn();     // "添加列": the item the list beside it shows
  void removeColumn();  // "删除列": the current cell's, never the name's
  void paste();         // "粘贴": the clipboard's text

 private:
  // The row and column commands above the table.
  void MakeEditBar();
  // The table's columns and rows for `cases`.
  void FillCases(const std::vector<OperatingCase>& cases);
  void SetColumnHeads();
  QString CellText(int row, int column) const;
  bool BlankRow(int row) const;
  OperatingCase RowCase(int row) const;
  // Checks every row: tints, tooltips, the message line and the buttons.
  void Check();
  // The cases' run has ended (the worker is done): its outcome.
  void RunEnded();
  void StopRun();

  Case base_;
  std::vector<CaseItem> columns_;
  QTableWidget* table_;
  QWidget* editBar_;  // the row and column commands, idle while the cases run
  QComboBox* itemChoice_;
  QLabel* message_;
  QPushButton* ok_;
  QPushButton* runAll_;
  QProgressBar* progress_;

  // The run of 计算全部工况, on a thread of its own; the timer follows it.
  std::vector<PreparedCase> runCases_;
  std::vector<CaseRun> runs_;
  std::exception_ptr runFailure_;
  std::atomic<bool> stop_{false};
  std::atomic<int> ended_{0};
  std::atomic<bool> finished_{false};
  std::thread worker_;
  QTimer poll_;
};

}  // namespace kelvane::ui
