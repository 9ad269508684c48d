#include "ui/event_table.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/flag_tint.h"
#include "ui/table_edits.h"

namespace kelvane::ui {

namespace {

constexpr int kColumns = 2;

bool BlankText(const QString& text) { return text.trimmed().isEmpty(); }

// Where, then what: two short lines.
QString FaultToolTip(const ErrorLocation& fault) {
  const QString text = FaultText(fault);
  const qsizetype colon = text.indexOf(QStringLiteral("："));
  if (colon < 0) return FlagToolTip({text});
  return FlagToolTip({text.left(colon), text.mid(colon + 1)});
}

}  // namespace

QString FaultText(const ErrorLocation& fault) {
  return QString::fromStdString(EventLocationText(fault));
}

EventTable::EventTable(EventField field, QWidget* parent) : QWidget(parent), field_(field) {
  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName(QStringLiteral("Rows"));
  QStringList headings;
  for (int column = 1; column <= kColumns; ++column)
    headings << QString::fromUtf8(EventColumnName(field, column).data(),
                                  qsizetype(EventColumnName(field, column).size()));
  table_->setHorizontalHeaderLabels(headings);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);

  // Ctrl+V over the table (not over a cell being edited: that pastes into it).
  auto* pasteKey = new QAction(table_);
  pasteKey->setShortcut(QKeySequence::Paste);
  pasteKey->setShortcutContext(Qt::WidgetShortcut);
  table_->addAction(pasteKey);
  connect(pasteKey, &QAction::triggered, this, &EventTable::paste);

  auto button = [this](const QString& text, const char* name) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
  };
  add_ = button(tr("添加行"), "AddRow");
  remove_ = button(tr("删除行"), "RemoveRows");
  paste_ = button(tr("粘贴"), "PasteRows");
  paste_->setToolTip(tr("从电子表格复制两列（制表符分隔）后粘贴到当前单元格起；Ctrl+V 亦可"));
  connect(add_, &QPushButton::clicked, this, &EventTable::addRow);
  connect(remove_, &QPushButton::clicked, this, &EventTable::removeRows);
  connect(paste_, &QPushButton::clicked, this, &EventTable::paste);

  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("TableMessage"));
  message_->setWordWrap(true);
  message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Room for two lines whether or not a fault is shown, so that nothing
  // moves under the pointer as rows turn bad and good.
  message_->setMinimumHeight(2 * message_->fontMetrics().lineSpacing());

  auto* buttons = new QHBoxLayout();
  buttons->addWidget(add_);
  buttons->addWidget(remove_);
  buttons->addWidget(paste_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);
  layout->addWidget(message_);

  connect(table_, &QTableWidget::itemChanged, this, [this] { Check(); });
  Check();
}

void EventTable::SetRows(const TextTable& rows) {
  {
    const QSignalBlocker quiet(table_);
    table_->setRowCount(0);
    InsertTableRows(*table_, 0, static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
      const std::vector<std::string>& cells = rows[r].cells;
      for (int column = 0; column < kColumns && column < static_cast<int>(cells.size()); ++column)
        table_->item(r, column)->setText(QString::fromStdString(cells[column]));
    }
  }
  Check();
}

TextTable EventTable::Rows() const {
  TextTable rows;
  for (int r = 0; r < table_->rowCount(); ++r) {
    TextRow row{r + 1, {}};
    bool blank = true;
    for (int column = 0; column < kColumns; ++column) {
      const QTableWidgetItem* item = table_->item(r, column);
      const QString text = item ? item->text() : QString();
      blank = blank && BlankText(text);
      row.cells.push_back(text.toStdString());
    }
    if (!blank) rows.push_back(std::move(row));
  }
  return rows;
}

void EventTable::Check() {
  const TextTable rows = Rows();
  faults_ = rows.empty() ? std::vector<ErrorLocation>() : CheckEventTable(field_, rows);
  const QSignalBlocker quiet(table_);  // tints and tooltips are not edits
  for (int r = 0; r < table_->rowCount(); ++r) {
    const auto fault = std::find_if(faults_.begin(), faults_.end(),
                                    [r](const ErrorLocation& f) { return f.row == r + 1; });
    const QString tip = fault == faults_.end() ? QString() : FaultToolTip(*fault);
    for (int column = 0; column < kColumns; ++column) {
      QTableWidgetItem* item = table_->item(r, column);
      if (!item) table_->setItem(r, column, item = new QTableWidgetItem());
      const bool tinted = fault != faults_.end() && fault->column == column + 1;
      item->setBackground(tinted ? QBrush(FlaggedBackColor()) : QBrush());
      item->setToolTip(tip);
    }
  }
  message_->setText(faults_.empty() ? QString() : FaultText(faults_.front()));
  emit changed();
}

void EventTable::addRow() {
  AddTableRow(*table_, [this] { Check(); });
}

void EventTable::removeRows() {
  if (RemoveTableRows(*table_)) Check();
}

void EventTable::paste() { Paste(QApplication::clipboard()->text()); }

void EventTable::Paste(const QString& text) {
  TextTable block;
  try {
    block = SplitCsv(text.toStdString());
  } catch (const RunError& error) {
    message_->setText(tr("未粘贴：剪贴板") + QString::fromStdString(error.where()));
    return;
  }
  PasteBlock(*table_, block, *message_, [this] { Check(); });
}

}  // namespace kelvane::ui
