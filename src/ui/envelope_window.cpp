#include "ui/envelope_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

#include "evaluation/design_checks.h"
#include "files/output.h"
#include "report/calculation_document.h"
#include "ui/case_session.h"

namespace kelvane::ui {

EnvelopeWindow::EnvelopeWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("EnvelopeWindow"));
  setWindowTitle(tr("包络线"));
  resize(960, 720);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("Tabs"));
  const QString tabNames[] = {tr("水头"), tr("流速")};
  const QString units[] = {tr("m"), tr("m/s")};
  for (int k = 0; k < 2; ++k) {
    auto* page = new QWidget(tabs_);
    auto* pageLayout = new QVBoxLayout(page);
    charts_[k] = new ChartView(page);
    charts_[k]->setMinimumHeight(300);
    charts_[k]->setObjectName(k == 0 ? QStringLiteral("HeadChart")
                                     : QStringLiteral("VelocityChart"));
    auto* lower = new QWidget(page);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    readOuts_[k] = new QLabel(lower);
    tables_[k] = new QTableWidget(0, 9, lower);
    tables_[k]->setHorizontalHeaderLabels(
        {tr("节点"), tr("距水库 (m)"), tr("初始 (%1)").arg(units[k]), tr("最高 (%1)").arg(units[k]),
         tr("时段"), tr("时间 (s)"), tr("最低 (%1)").arg(units[k]), tr("时段"), tr("时间 (s)")});
    tables_[k]->verticalHeader()->hide();
    tables_[k]->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tables_[k]->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    lowerLayout->addWidget(readOuts_[k]);
    lowerLayout->addWidget(tables_[k]);
    pageLayout->addWidget(charts_[k], 3);
    pageLayout->addWidget(lower, 2);
    connect(charts_[k], &ChartView::readOut, readOuts_[k], &QLabel::setText);
    tabs_->addTab(page, tabNames[k]);
  }
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("Status"));
  status_->setStyleSheet(QStringLiteral("color: #b00000"));
  status_->hide();
  checks_ = new QLabel(this);
  checks_->setObjectName(QStringLiteral("Checks"));
  checks_->setWordWrap(true);
  checks_->hide();
  image_ = new QPushButton(tr("导出图片…"), this);
  csv_ = new QPushButton(tr("导出 CSV…"), this);
  close_ = new QPushButton(tr("关闭"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* b : {image_, csv_, close_}) buttons->addWidget(b);
  cases_ = new CasePicker(this);
  cases_->setFixedWidth(190);
  auto* middle = new QHBoxLayout;
  middle->addWidget(cases_);
  middle->addWidget(tabs_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addLayout(middle, 1);
  layout->addWidget(checks_);
  layout->addLayout(buttons);

  connect(cases_, &CasePicker::pickedChanged, this, &EnvelopeWindow::ShowPicked);
  connect(image_, &QPushButton::clicked, this, &EnvelopeWindow::exportImage);
  connect(csv_, &QPushButton::clicked, this, &EnvelopeWindow::exportCsv);
  connect(close_, &QPushButton::clicked, this, &QWidget::hide);
  chooseFile_ = [this](const SaveDialogSettings& settings) {
    return ChooseSaveFile(this, settings);
  };
  Detach(false);
}

void EnvelopeWindow::FillTable(EnvelopeOf what, const RunSummary& summary, const SurgeRun& run) {
  QTableWidget* table = tables_[int(what)];
  const bool head = what == EnvelopeOf::Head;
  const std::span<const float> start = head ? run.HeadsAt(1) : run.VelocitiesAt(1);
  table->setRowCount(int(summary.envelope.size()));
  const double reachLength = summary.reachLength;
  auto cell = [table](int row, int column, const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, column, item);
  };
  auto number = [](double v) { return QString::fromStdString(Fixed(v, 3, NegativeZero::Drop)); };
  for (int k = 0; k < int(summary.envelope.size()); ++k) {
    const NodeEnvelope& e = summary.envelope[k];
    const ExtremeAt& high = head ? e.highestHead : e.highestVelocity;
    const ExtremeAt& low = head ? e.lowestHead : e.lowestVelocity;
    cell(k, 0, QString::number(k + 1));
    cell(k, 1, number(k * reachLength));
    cell(k, 2, number(start[k]));
    cell(k, 3, number(high.value));
    cell(k, 4, QString::number(high.step));
    cell(k, 5, number(run.StepTime(high.step)));
    cell(k, 6, number(low.value));
    cell(k, 7, QString::number(low.step));
    cell(k, 8, number(run.StepTime(low.step)));
  }
}

void EnvelopeWindow::FillDepthColumns(const RunSummary& summary) {
  constexpr int kHeadColumns = 9;
  QTableWidget* table = tables_[int(EnvelopeOf::Head)];
  const std::optional<FreeSurfaceRecord>& free = summary.freeSurface;
  // The nine columns share the width; fourteen take what their texts need
  // (a scroll bar where the window is narrower), so no header is cut.
  table->horizontalHeader()->setSectionResizeMode(free ? QHeaderView::ResizeToContents
                                                       : QHeaderView::Stretch);
  if (!free) {
    table->setColumnCount(kHeadColumns);
    return;
  }
  const QStringList depths = {tr("底高程 (m)"), tr("初始水深 (m)"), tr("最大水深 (m)"),
                              tr("最小水深 (m)"), tr("流态")};
  table->setColumnCount(kHeadColumns + int(depths.size()));
  for (int c = 0; c < int(depths.size()); ++c)
    table->setHorizontalHeaderItem(kHeadColumns + c, new QTableWidgetItem(depths[c]));
  auto number = [](double v) { return QString::fromStdString(Fixed(v, 3, NegativeZero::Drop)); };
  for (int k = 0; k < table->rowCount() && k < int(free->nodes.size()); ++k) {
    const NodeRegime& node = free->nodes[k];
    const QString texts[] = {k < int(free->invert.size()) ? number(free->invert[k]) : QString(),
                             number(node.initialDepth), number(node.highestDepth),
                             number(node.lowestDepth), QString::fromUtf8(NodeRegimeWord(node))};
    for (int c = 0; c < int(std::size(texts)); ++c) {
      auto* item = new QTableWidgetItem(texts[c]);
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table->setItem(k, kHeadColumns + c, item);
    }
  }
}

void EnvelopeWindow::ShowRun(const SurgeRun& run, const RunOutcome& outcome,
                             const DesignData& design) {
  DropCases();
  Show(run, outcome, design);
}

void EnvelopeWindow::ShowCases(std::vector<ChartCase> cases) {
  if (csvText_.empty() || cases.size() < 2) {
    if (caseRuns_.empty()) return;
    const ChartCase base = caseRuns_.front();
    DropCases();
    if (!csvText_.empty()) Show(*base.run, base.outcome, base.design);
    return;
  }
  caseRuns_ = std::move(cases);
  std::vector<std::string> names;
  for (const ChartCase& c : caseRuns_) names.push_back(c.name);
  cases_->SetNames(names);
  ShowPicked();
}

void EnvelopeWindow::DropCases() {
  caseRuns_.clear();
  cases_->SetNames({});
}

void EnvelopeWindow::ShowPicked() {
  if (caseRuns_.empty()) return;
  const std::vector<int> picked = cases_->Picked();
  const ChartCase& first = caseRuns_[picked.front()];
  Show(*first.run, first.outcome, first.design);
  checks_->setText(QString::fromStdString(first.name) + tr("：") + checks_->text());
  if (picked.size() < 2) return;
  std::vector<CaseChart> heads, velocities;
  std::vector<RunSummary> summaries;
  summaries.reserve(picked.size());
  // The cases share one header: the 内水压力水头 column only when every
  // case's soffit is known.
  bool soffits = true;
  for (int index : picked) {
    const ChartCase& c = caseRuns_[index];
    summaries.push_back(SummarizeRun(*c.run, c.outcome));
    soffits = soffits && !KnownSoffits(c.design, summaries.back()).empty();
  }
  std::vector<CaseCsv> csvs;
  csvs.reserve(picked.size());
  for (std::size_t k = 0; k < picked.size(); ++k) {
    const int index = picked[k];
    const ChartCase& c = caseRuns_[index];
    const RunSummary& summary = summaries[k];
    const RunGeometry geometry = GeometryOf(c.outcome);
    heads.push_back({c.name, EnvelopeChart(summary, *c.run, geometry, EnvelopeOf::Head), index});
    velocities.push_back(
        {c.name, EnvelopeChart(summary, *c.run, geometry, EnvelopeOf::Velocity), index});
    const std::vector<double> soffit =
        soffits ? KnownSoffits(c.design, summary) : std::vector<double>();
    csvs.push_back({c.name, EnvelopeCsv(summary, *c.run, geometry, soffit)});
  }
  const std::string velocityLines[] = {"最大流速", "最小流速"};
  charts_[int(EnvelopeOf::Head)]->SetData(ComparisonChart(
      heads, kEnvelopeHeadLines,
      ComparedHeadsTitle(std::size_t(std::ranges::count_if(summaries, HeadIsWaterSurface)),
                         summaries.size())));
  charts_[int(EnvelopeOf::Velocity)]->SetData(
      ComparisonChart(velocities, velocityLines, "各工况沿程最大、最小流速"));
  csvText_ = CasesCsv(csvs);
}

void EnvelopeWindow::Show(const SurgeRun& run, const RunOutcome& outcome,
                          const DesignData& design) {
  const RunSummary summary = SummarizeRun(run, outcome);
  const RunGeometry geometry = GeometryOf(outcome);
  for (EnvelopeOf what : {EnvelopeOf::Head, EnvelopeOf::Velocity}) {
    charts_[int(what)]->SetData(what == EnvelopeOf::Head
                                    ? PiezometricEnvelopeChart(summary, run, geometry, design)
                                    : EnvelopeChart(summary, run, geometry, what));
    FillTable(what, summary, run);
    readOuts_[int(what)]->clear();
  }
  FillDepthColumns(summary);
  tabs_->setTabText(int(EnvelopeOf::Head), HeadIsWaterSurface(summary) ? tr("水位") : tr("水头"));
  csvText_ = EnvelopeCsv(summary, run, geometry, KnownSoffits(design, summary));
  // The checks by verdict, by the summary's names: those not met first,
  // then those beyond the model and those the run is too short to decide,
  // so that neither of these is shown as met.
  constexpr CheckVerdict kOrder[] = {CheckVerdict::Fail, CheckVerdict::Invalid,
                                     CheckVerdict::Undetermined, CheckVerdict::Pass};
  QStringList byVerdict[std::size(kOrder)];
  for (const CheckRow& row : CheckDesign(design, summary, run, outcome).rows) {
    const auto at = std::find(std::begin(kOrder), std::end(kOrder), row.verdict);
    byVerdict[at - std::begin(kOrder)] << QString::fromUtf8(CheckItemName(row.kind));
  }
  const QString captions[] = {tr("不满足："), tr("无效："), tr("未定："), tr("满足：")};
  QStringList parts;
  for (std::size_t k = 0; k < std::size(kOrder); ++k) {
    if (!byVerdict[k].isEmpty()) parts << captions[k] + byVerdict[k].join(tr("、"));
  }
  checks_->setText(tr("校核　") + parts.join(tr("；")));
  const bool notMet = !byVerdict[0].isEmpty() || !byVerdict[1].isEmpty();
  checks_->setStyleSheet(notMet ? QStringLiteral("color: #b00000") : QString());
  checks_->setVisible(!parts.isEmpty());
  status_->hide();
  image_->setEnabled(true);
  csv_->setEnabled(true);
}

void EnvelopeWindow::Follow(const CaseSession& session) {
  const auto showRun = [this, &session] {
    if (const RunOutcome* outcome = session.CompletedRun()) {
      ShowRun(session.LastRun().run, *outcome, session.Prepared().design);
    } else {
      Detach(true);
    }
  };
  connect(&session, &CaseSession::runStarted, this, [this] { Detach(false); });
  connect(&session, &CaseSession::runFinished, this, showRun);
  // A run shown is checked anew against other design data; without a
  // complete run there is nothing to check.
  connect(&session, &CaseSession::designChanged, this, [showRun, &session] {
    if (session.CompletedRun()) showRun();
  });
  connect(&session, &CaseSession::chartCasesChanged, this,
          [this, &session] { ShowCases(session.ChartCases()); });
  showRun();
  ShowCases(session.ChartCases());
}

void EnvelopeWindow::Detach(bool failed) {
  DropCases();
  const QString message =
      failed ? tr("上次计算未完成，没有可显示的结果。") : tr("没有完成的计算。");
  for (int k = 0; k < 2; ++k) {
    charts_[k]->ClearData(message);
    tables_[k]->setRowCount(0);
    readOuts_[k]->clear();
  }
  csvText_.clear();
  checks_->hide();
  status_->setText(message);
  status_->setVisible(failed);
  image_->setEnabled(false);
  csv_->setEnabled(false);
}

void EnvelopeWindow::exportImage() { Export(true); }
void EnvelopeWindow::exportCsv() { Export(false); }

void EnvelopeWindow::Export(bool image) {
  if (csvText_.empty()) return;
  ExportChart(
      this, chooseFile_, image, tr("包络线"),
      [this](const std::string& path) { charts_[tabs_->currentIndex()]->SaveImage(path); },
      [this] { return csvText_; });
}

}  // namespace kelvane::ui
