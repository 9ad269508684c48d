// What the tables of the dialogs share for their rows: rows added with an
// item in every cell, the selected rows removed, a block copied from a
// spreadsheet pasted. Each works on the table's items with its signals
// blocked: the caller checks the rows afterwards.
#pragma once

#include <QLabel>
#include <QString>
#include <QTableWidget>
#include <functional>

#include "texts/event_texts.h"

namespace kelvane::ui {

// Inserts `count` rows at `at`, an empty item in each cell.
void InsertTableRows(QTableWidget& table, int at, int count);

// Adds a row below the current one, or at the end, calls `check`, and opens
// the new row's first cell for typing.
void AddTableRow(QTableWidget& table, const std::function<void()>& check);

// Removes the selected rows, or the current one; false when there is none.
bool RemoveTableRows(QTableWidget& table);

// Puts `block` (each row's cells, trimmed) at the current cell, or below the
// last row when none is current, adding rows as needed. A row wider than the
// columns from there leaves the table as it was: the message that says so
// is returned; an empty one when the block is pasted.
QString PasteTableBlock(QTableWidget& table, const TextTable& block);

// A dialog's paste of a block read from the clipboard: nothing for an empty
// block; a refused one leaves the table as it was and says why on
// `message`; a pasted one is checked by `check`.
void PasteBlock(QTableWidget& table, const TextTable& block, QLabel& message,
                const std::function<void()>& check);

}  // namespace kelvane::ui
