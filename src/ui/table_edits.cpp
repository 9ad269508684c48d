#include "ui/table_edits.h"

#include <QCoreApplication>
#include <QSignalBlocker>
#include <set>

namespace kelvane::ui {

void InsertTableRows(QTableWidget& table, int at, int count) {
  const QSignalBlocker quiet(&table);
  for (int k = 0; k < count; ++k) {
    table.insertRow(at + k);
    for (int column = 0; column < table.columnCount(); ++column)
      table.setItem(at + k, column, new QTableWidgetItem());
  }
}

void AddTableRow(QTableWidget& table, const std::function<void()>& check) {
  const int at = table.currentRow() >= 0 ? table.currentRow() + 1 : table.rowCount();
  InsertTableRows(table, at, 1);
  check();
  // Ready for typing: the new row's first cell open.
  table.setFocus();
  table.setCurrentCell(at, 0);
  table.editItem(table.item(at, 0));
}

bool RemoveTableRows(QTableWidget& table) {
  std::set<int> rows;
  for (const QModelIndex& index : table.selectionModel()->selectedIndexes())
    rows.insert(index.row());
  if (rows.empty() && table.currentRow() >= 0) rows.insert(table.currentRow());
  if (rows.empty()) return false;
  const QSignalBlocker quiet(&table);
  for (auto r = rows.rbegin(); r != rows.rend(); ++r) table.removeRow(*r);
  return true;
}

QString PasteTableBlock(QTableWidget& table, const TextTable& block) {
  const int columns = table.columnCount();
  const bool current = table.currentRow() >= 0 && table.currentColumn() >= 0;
  const int top = current ? table.currentRow() : table.rowCount();
  const int left = current ? table.currentColumn() : 0;
  for (const TextRow& row : block) {
    if (left + static_cast<int>(row.cells.size()) > columns) {
      return QCoreApplication::translate(
                 "EventTable", "未粘贴：剪贴板第 %1 行有 %2 列，从第 %3 列起只能放下 %4 列")
          .arg(row.row)
          .arg(row.cells.size())
          .arg(left + 1)
          .arg(columns - left);
    }
  }
  const int needed = top + static_cast<int>(block.size()) - table.rowCount();
  if (needed > 0) InsertTableRows(table, table.rowCount(), needed);
  const QSignalBlocker quiet(&table);
  for (int k = 0; k < static_cast<int>(block.size()); ++k) {
    const std::vector<std::string>& cells = block[k].cells;
    for (int c = 0; c < static_cast<int>(cells.size()); ++c)
      table.item(top + k, left + c)->setText(QString::fromStdString(cells[c]).trimmed());
  }
  return {};
}

void PasteBlock(QTableWidget& table, const TextTable& block, QLabel& message,
                const std::function<void()>& check) {
  if (block.empty()) return;
  if (const QString refused = PasteTableBlock(table, block); !refused.isEmpty()) {
    message.setText(refused);
    return;
  }
  check();
}

}  // namespace kelvane::ui
