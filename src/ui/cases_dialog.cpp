#include "ui/cases_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <string>

#include "csv/csv_reader.h"
#include "model/errors.h"
#include "texts/event_texts.h"
#include "texts/input_check.h"
#include "texts/prepared_case.h"
#include "ui/flag_tint.h"
#include "ui/help_window.h"
#include "ui/input_form.h"
#include "ui/run_error_box.h"
#include "ui/table_edits.h"

namespace kelvane::ui {

namespace {

bool Blank(const QString& text) { return text.trimmed().isEmpty(); }

// "库水位 (m)": an item as its column is headed.
QString Heading(const CaseItem& item) {
  const QString caption = QString::fromUtf8(item.Caption());
  return *item.Unit()
             ? caption + QStringLiteral(" (") + QString::fromUtf8(item.Unit()) + QLatin1Char(')')
             : caption;
}

// What is wrong with a cell: a blocking fault keeps the cases from being
// used; a box's flag only warns, as the main window's tint does.
struct CellFault {
  int row = 0;
  int column = 0;  // 0: the name
  QString text;
  bool blocking = false;
};

}  // namespace

CasesDialog::CasesDialog(const Case& base, const std::vector<OperatingCase>& cases, QWidget* parent)
    : QDialog(parent), base_(base) {
  setObjectName(QStringLiteral("CasesDialog"));
  setWindowTitle(tr("工况表"));

  table_ = new QTableWidget(0, 1, this);
  table_->setObjectName(QStringLiteral("CaseTable"));
  table_->setMinimumSize(640, 260);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  // Ctrl+V over the table (not over a cell being edited: that pastes into it).
  auto* pasteKey = new QAction(table_);
  pasteKey->setShortcut(QKeySequence::Paste);
  pasteKey->setShortcutContext(Qt::WidgetShortcut);
  table_->addAction(pasteKey);
  connect(pasteKey, &QAction::triggered, this, &CasesDialog::paste);

  MakeEditBar();

  auto* note =
      new QLabel(tr("每行一个工况：名称，以及与主窗口不同的各项；空白单元格取主窗口的文字。"
                    "流量过程与水位–面积表写作 时间:流量,时间:流量。"),
                 this);
  note->setWordWrap(true);
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("CaseMessage"));
  message_->setWordWrap(true);
  message_->setMinimumHeight(2 * message_->fontMetrics().lineSpacing());

  auto* buttons = new QDialogButtonBox(this);
  runAll_ = buttons->addButton(tr("计算全部工况"), QDialogButtonBox::ActionRole);
  runAll_->setObjectName(QStringLiteral("RunAllButton"));
  runAll_->setAutoDefault(false);
  ok_ = buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
  ok_->setObjectName(QStringLiteral("OkButton"));
  QPushButton* cancel = buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  connect(runAll_, &QPushButton::clicked, this, &CasesDialog::runAll);
  connect(buttons, &QDialogButtonBox::accepted, this, &CasesDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CasesDialog::reject);
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this,
          [this] { ShowHelpAt(*this, QStringLiteral("工况表")); });

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("CasesProgress"));
  progress_->setFormat(tr("%v / %m 个工况"));
  progress_->hide();
  poll_.setInterval(50);
  connect(&poll_, &QTimer::timeout, this, [this] {
    progress_->setValue(ended_.load());
    if (finished_.load()) RunEnded();
  });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addWidget(editBar_);
  layout->addWidget(note);
  layout->addWidget(message_);
  layout->addWidget(progress_);
  layout->addWidget(buttons);

  FillCases(cases);
  SetColumnHeads();
  connect(table_, &QTableWidget::itemChanged, this, [this] { Check(); });
  Check();
}

void CasesDialog::MakeEditBar() {
  auto button = [this](const QString& text, const char* name, void (CasesDialog::*slot)()) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };
  itemChoice_ = new QComboBox(this);
  itemChoice_->setObjectName(QStringLiteral("ColumnChoice"));
  for (const CaseItem& item : AllCaseItems()) {
    itemChoice_->addItem(Heading(item) + QStringLiteral("  ") + QString::fromUtf8(item.Option()),
                         QString::fromUtf8(item.Option()));
  }
  editBar_ = new QWidget(this);
  auto* edits = new QHBoxLayout(editBar_);
  edits->setContentsMargins(0, 0, 0, 0);
  edits->addWidget(button(tr("添加行"), "AddRow", &CasesDialog::addRow));
  edits->addWidget(button(tr("删除行"), "RemoveRows", &CasesDialog::removeRows));
  QPushButton* pasteButton = button(tr("粘贴"), "PasteRows", &CasesDialog::paste);
  pasteButton->setToolTip(tr("从电子表格复制的块粘贴到当前单元格起；Ctrl+V 亦可"));
  edits->addWidget(pasteButton);
  edits->addSpacing(16);
  edits->addWidget(itemChoice_, 1);
  edits->addWidget(button(tr("添加列"), "AddColumn", &CasesDialog::addColumn));
  edits->addWidget(button(tr("删除列"), "RemoveColumn", &CasesDialog::removeColumn));
}

void CasesDialog::FillCases(const std::vector<OperatingCase>& cases) {
  // The columns the cases use, in the order they first come.
  for (const OperatingCase& operating : cases) {
    for (const auto& [option, text] : operating.changes) {
      if (const std::optional<CaseItem> item = CaseItemByOption(option)) AddColumn(*item);
    }
  }
  {
    const QSignalBlocker quiet(table_);
    InsertTableRows(*table_, 0, static_cast<int>(cases.size()));
    for (int r = 0; r < static_cast<int>(cases.size()); ++r) {
      table_->item(r, 0)->setText(QString::fromStdString(cases[r].name));
      for (const auto& [option, text] : cases[r].changes) {
        const std::optional<CaseItem> item = CaseItemByOption(option);
        if (!item) continue;
        const auto at = std::find(columns_.begin(), columns_.end(), *item) - columns_.begin();
        table_->item(r, static_cast<int>(at) + 1)->setText(QString::fromStdString(text));
      }
    }
  }
}

void CasesDialog::SetColumnHeads() {
  QStringList heads{tr("工况名称")};
  for (const CaseItem& item : columns_) heads << Heading(item);
  table_->setHorizontalHeaderLabels(heads);
  for (int c = 1; c < table_->columnCount(); ++c)
    table_->horizontalHeaderItem(c)->setToolTip(QString::fromUtf8(columns_[c - 1].Option()));
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

QString CasesDialog::CellText(int row, int column) const {
  const QTableWidgetItem* item = table_->item(row, column);
  return item ? item->text() : QString();
}

bool CasesDialog::BlankRow(int row) const {
  for (int column = 0; column < table_->columnCount(); ++column)
    if (!Blank(CellText(row, column))) return false;
  return true;
}

OperatingCase CasesDialog::RowCase(int row) const {
  OperatingCase operating;
  operating.name = CellText(row, 0).trimmed().toStdString();
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    const QString text = CellText(row, static_cast<int>(c) + 1);
    if (!Blank(text)) operating.changes.emplace_back(columns_[c].Option(), text.toStdString());
  }
  return operating;
}

std::vector<OperatingCase> CasesDialog::Cases() const {
  std::vector<OperatingCase> cases;
  for (int r = 0; r < table_->rowCount(); ++r)
    if (!BlankRow(r)) cases.push_back(RowCase(r));
  return cases;
}

void CasesDialog::AddColumn(const CaseItem& item) {
  if (std::find(columns_.begin(), columns_.end(), item) != columns_.end()) return;
  columns_.push_back(item);
  {
    const QSignalBlocker quiet(table_);
    const int column = table_->columnCount();
    table_->insertColumn(column);
    for (int r = 0; r < table_->rowCount(); ++r) table_->setItem(r, column, new QTableWidgetItem());
  }
  SetColumnHeads();
  Check();
}

void CasesDialog::Check() {
  std::vector<CellFault> faults;
  std::map<std::string, int> named;  // a name and its first row
  for (int r = 0; r < table_->rowCount(); ++r) {
    if (BlankRow(r)) continue;
    const OperatingCase operating = RowCase(r);
    if (operating.name.empty()) {
      faults.push_back({r, 0, tr("工况须有名称"), true});
    } else if (const auto [at, added] = named.emplace(operating.name, r); !added) {
      faults.push_back({r, 0, tr("与第 %1 行的工况同名").arg(at->second + 1), true});
    }
    const Case typed = OperatingCaseOf(base_, operating);
    // The pump event and the tables as the case file's reader reads them:
    // each cell alone first, so that the fault is the cell's.
    std::optional<int> eventColumn;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      const QString text = CellText(r, static_cast<int>(c) + 1);
      if (!columns_[c].event || Blank(text)) continue;
      if (!eventColumn) eventColumn = static_cast<int>(c) + 1;
      EventTexts one;
      SetEventText(one, *columns_[c].event, text.toStdString());
      try {
        ReadModelExtras(one);
      } catch (const RunError& error) {
        faults.push_back({r, static_cast<int>(c) + 1, QString::fromStdString(error.where()), true});
        eventColumn.reset();
      }
    }
    const PreparedCase prepared = PrepareCase(typed);
    if (const std::optional<RunError>& error = prepared.eventError) {
      // The cells read alone, but not with the main window's event.
      if (eventColumn)
        faults.push_back({r, *eventColumn, QString::fromStdString(error->where()), true});
      continue;
    }
    // The boxes and the design data as the main window checks them.
    const std::vector<InputFlag> flags = CheckCaseInputs(prepared);
    const std::vector<DesignFlag>& designFlags = prepared.designFlags;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      const CaseItem& item = columns_[c];
      if (Blank(CellText(r, static_cast<int>(c) + 1))) continue;
      std::string text;
      if (item.input) {
        const auto flag = std::find_if(flags.begin(), flags.end(),
                                       [&](const InputFlag& f) { return f.input == *item.input; });
        if (flag != flags.end()) text = InputFlagText(*flag);
      } else if (item.design) {
        const auto flag = std::find_if(designFlags.begin(), designFlags.end(),
                                       [&](const DesignFlag& f) { return f.item == *item.design; });
        if (flag != designFlags.end()) text = DesignFlagText(*flag);
      }
      if (!text.empty())
        faults.push_back({r, static_cast<int>(c) + 1, QString::fromStdString(text)});
    }
  }

  const QSignalBlocker quiet(table_);  // tints and tooltips are not edits
  for (int r = 0; r < table_->rowCount(); ++r) {
    for (int column = 0; column < table_->columnCount(); ++column) {
      QTableWidgetItem* cell = table_->item(r, column);
      if (!cell) table_->setItem(r, column, cell = new QTableWidgetItem());
      const auto fault = std::find_if(faults.begin(), faults.end(), [&](const CellFault& f) {
        return f.row == r && f.column == column;
      });
      const QString why = fault == faults.end() ? QString() : fault->text;
      cell->setBackground(why.isEmpty() ? QBrush() : QBrush(FlaggedBackColor()));
      if (column == 0) {
        cell->setToolTip(why.isEmpty() ? QString() : FlagToolTip({why}));
        continue;
      }
      const CaseItem& item = columns_[column - 1];
      const QString text = cell->text();
      if (Blank(text)) {
        cell->setToolTip(FlagToolTip({Heading(item), tr("空白：取主窗口的文字")}));
      } else if (item.event) {
        cell->setToolTip(why.isEmpty() ? FlagToolTip({Heading(item)})
                                       : FlagToolTip({Heading(item), why}));
      } else {
        cell->setToolTip(BoxCheckToolTip(item.Caption(), item.Unit(),
                                         ReadLeadingNumber(text.toStdString()), why.toStdString()));
      }
    }
  }
  // The first fault, blocking ones first.
  std::stable_partition(faults.begin(), faults.end(),
                        [](const CellFault& f) { return f.blocking; });
  if (faults.empty()) {
    message_->clear();
  } else {
    const CellFault& first = faults.front();
    const QString column = first.column == 0 ? tr("工况名称") : Heading(columns_[first.column - 1]);
    message_->setText(tr("第 %1 行“%2”：%3").arg(first.row + 1).arg(column, first.text));
  }
  const bool usable = faults.empty() || !faults.front().blocking;
  ok_->setEnabled(usable);
  runAll_->setEnabled(usable && !Cases().empty());
}

CasesDialog::~CasesDialog() { StopRun(); }

void CasesDialog::accept() {
  if (ok_->isEnabled() && !Running()) QDialog::accept();
}

void CasesDialog::reject() {
  StopRun();
  QDialog::reject();
}

void CasesDialog::StopRun() {
  if (!Running()) return;
  stop_ = true;
  worker_.join();
  poll_.stop();
}

void CasesDialog::runAll() {
  if (Running()) {
    stop_ = true;  // the cases that run end; no other starts
    runAll_->setEnabled(false);
    return;
  }
  if (!runAll_->isEnabled()) return;
  runCases_.clear();
  for (const OperatingCase& operating : Cases())
    runCases_.push_back(PrepareCase(OperatingCaseOf(base_, operating)));
  runs_.clear();
  runFailure_ = nullptr;
  stop_ = false;
  ended_ = 0;
  finished_ = false;
  progress_->setRange(0, static_cast<int>(runCases_.size()));
  progress_->setValue(0);
  progress_->show();
  table_->setEnabled(false);
  editBar_->setEnabled(false);
  ok_->setEnabled(false);
  runAll_->setText(tr("停止"));
  message_->setText(tr("正在计算 %1 个工况…").arg(runCases_.size()));
  worker_ = std::thread([this] {
    try {
      runs_ = RunEachCase(runCases_, 0, {[this] { ++ended_; }, &stop_});
    } catch (...) {
      runFailure_ = std::current_exception();
    }
    finished_ = true;
  });
  poll_.start();
}

void CasesDialog::RunEnded() {
  worker_.join();
  poll_.stop();
  progress_->hide();
  table_->setEnabled(true);
  editBar_->setEnabled(true);
  runAll_->setText(tr("计算全部工况"));
  Check();
  if (runFailure_) {
    // What a case threw beyond its own errors (memory that cannot be had).
    try {
      std::rethrow_exception(runFailure_);
    } catch (...) {
      message_->setText(tr("未算完：") + RunErrorMessage(CurrentExceptionAsRunError(Stage::March)));
    }
    return;
  }
  if (runs_.size() < runCases_.size()) {
    message_->setText(
        tr("已停止：%1 个工况中算完 %2 个，结果未保留").arg(runCases_.size()).arg(runs_.size()));
    return;
  }
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    const CaseRun& run = runs_[i];
    const std::optional<RunError>& fault = run.error ? run.error : run.summaryError;
    if (fault) {
      message_->setText(
          tr("工况“%1”不能计算：%2")
              .arg(QString::fromStdString(runCases_[i].typed.title), RunErrorMessage(*fault)));
      return;
    }
  }
  done(kAcceptedToRun);
}

void CasesDialog::addRow() {
  AddTableRow(*table_, [this] { Check(); });
}

void CasesDialog::removeRows() {
  if (RemoveTableRows(*table_)) Check();
}

void CasesDialog::addColumn() {
  if (const std::optional<CaseItem> item =
          CaseItemByOption(itemChoice_->currentData().toString().toStdString()))
    AddColumn(*item);
}

void CasesDialog::removeColumn() {
  const int column = table_->currentColumn();
  if (column <= 0) return;
  {
    const QSignalBlocker quiet(table_);
    table_->removeColumn(column);
  }
  columns_.erase(columns_.begin() + (column - 1));
  SetColumnHeads();
  Check();
}

void CasesDialog::paste() { Paste(QApplication::clipboard()->text()); }

void CasesDialog::Paste(const QString& text) {
  // The block as the CSV reader reads a spreadsheet's copy; no row is a
  // heading, since a case's name has no digit.
  TextTable block;
  try {
    for (CsvRow& row : ReadCsvRows(text.toStdString(), CsvSeparator::Detect))
      block.push_back({row.line, std::move(row.cells)});
  } catch (const CsvError& error) {
    message_->setText(tr("未粘贴：剪贴板第 %1 行的引号不成对").arg(error.line));
    return;
  }
  PasteBlock(*table_, block, *message_, [this] { Check(); });
}

}  // namespace kelvane::ui
