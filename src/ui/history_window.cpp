#include "ui/history_window.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "files/output.h"
#include "ui/case_session.h"

namespace kelvane::ui {
namespace {

// The node of a grid of `count` nodes at `to` that stands for `node` of a grid
// of `fromCount` nodes at `from`: the reservoir end and the forebay by role,
// any other node the nearest at its distance from the reservoir.
int NodeByRole(const RunGeometry& from, int fromCount, int node, const RunGeometry& to, int count) {
  if (node == fromCount) return count;
  if (node <= 1) return node;
  const double distance = NodeDistance(from, node);
  return std::clamp(int(std::lround(distance / to.reachLength)) + 1, 1, count);
}

}  // namespace

HistoryWindow::HistoryWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("HistoryWindow"));
  setWindowTitle(tr("过程线"));
  resize(960, 600);

  quantity_ = new QComboBox(this);
  quantity_->setObjectName(QStringLiteral("Quantity"));
  quantity_->addItem(tr("水头 (m)"), int(ChartQuantity::Head));
  quantity_->addItem(tr("流速 (m/s)"), int(ChartQuantity::Velocity));
  quantity_->addItem(tr("流量 (m³/s)"), int(ChartQuantity::Discharge));
  quantity_->addItem(tr("泵流量与箱涵入前池流量 (m³/s)"), kPumpAndInflow);
  nodes_ = new QListWidget(this);
  nodes_->setObjectName(QStringLiteral("Nodes"));
  nodes_->setFixedWidth(190);
  casesLabel_ = new QLabel(tr("工况"), this);
  casesLabel_->hide();
  cases_ = new CasePicker(this);
  cases_->setFixedWidth(190);
  chart_ = new ChartView(this);
  chart_->setObjectName(QStringLiteral("Chart"));
  readOut_ = new QLabel(this);
  readOut_->setObjectName(QStringLiteral("ReadOut"));
  readOut_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("Status"));
  status_->setStyleSheet(QStringLiteral("color: #b00000"));
  status_->hide();
  reset_ = new QPushButton(tr("复位"), this);
  reset_->setToolTip(tr("拖动鼠标框选放大；右键退回上一次放大；复位回到全图"));
  image_ = new QPushButton(tr("导出图片…"), this);
  csv_ = new QPushButton(tr("导出 CSV…"), this);
  close_ = new QPushButton(tr("关闭"), this);

  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel(tr("物理量"), this));
  side->addWidget(quantity_);
  side->addWidget(new QLabel(tr("节点（距水库）"), this));
  side->addWidget(nodes_, 1);
  side->addWidget(casesLabel_);
  side->addWidget(cases_);
  readOut_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* b : {reset_, image_, csv_, close_}) buttons->addWidget(b);
  auto* right = new QVBoxLayout;
  right->addWidget(status_);
  right->addWidget(chart_, 1);
  right->addWidget(readOut_);
  right->addLayout(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(side);
  layout->addLayout(right, 1);

  connect(quantity_, &QComboBox::currentIndexChanged, this, [this] { Redraw(); });
  connect(nodes_, &QListWidget::itemChanged, this, [this] { Redraw(); });
  connect(cases_, &CasePicker::pickedChanged, this, [this] { Redraw(); });
  connect(chart_, &ChartView::readOut, readOut_, &QLabel::setText);
  connect(reset_, &QPushButton::clicked, chart_, &ChartView::ResetZoom);
  connect(image_, &QPushButton::clicked, this, &HistoryWindow::exportImage);
  connect(csv_, &QPushButton::clicked, this, &HistoryWindow::exportCsv);
  connect(close_, &QPushButton::clicked, this, &QWidget::hide);

  chooseFile_ = [this](const SaveDialogSettings& settings) {
    return ChooseSaveFile(this, settings);
  };
  Detach(false);
}

void HistoryWindow::ShowRun(const SurgeRun& run, const RunGeometry& geometry) {
  // The ticks carry over by role: the reservoir end and the forebay stay
  // ticked as such whatever the reach count, any other node goes to the
  // nearest node at its distance from the reservoir.
  const int oldCount = nodes_->count();
  const int count = run.GridNodes();
  std::vector<int> chosen;
  for (int node : Nodes()) chosen.push_back(NodeByRole(geometry_, oldCount, node, geometry, count));
  if (chosen.empty()) chosen.push_back(count);
  run_ = &run;
  geometry_ = geometry;
  // An open channel's heads are its water levels, its flow the channel's.
  const bool channel = geometry.openChannel;
  quantity_->setItemText(quantity_->findData(int(ChartQuantity::Head)),
                         channel ? tr("水位 (m)") : tr("水头 (m)"));
  quantity_->setItemText(
      quantity_->findData(kPumpAndInflow),
      channel ? tr("泵流量与引渠入前池流量 (m³/s)") : tr("泵流量与箱涵入前池流量 (m³/s)"));
  DropCases();
  {
    const QSignalBlocker blocker(nodes_);
    nodes_->clear();
    for (int node = 1; node <= count; ++node) {
      QString label = QString::fromStdString(NodeLabel(geometry, node));
      if (node == 1) label += tr(" 水库");
      if (node == count) label += tr(" 前池");
      auto* item = new QListWidgetItem(label, nodes_);
      item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
      item->setCheckState(Qt::Unchecked);
    }
    for (int node : chosen) nodes_->item(node - 1)->setCheckState(Qt::Checked);
  }
  status_->hide();
  for (QWidget* w : std::initializer_list<QWidget*>{quantity_, nodes_, reset_, image_, csv_})
    w->setEnabled(true);
  Redraw();
}

void HistoryWindow::Follow(const CaseSession& session) {
  const auto showRun = [this, &session] {
    if (const RunOutcome* outcome = session.CompletedRun()) {
      ShowRun(session.LastRun().run, GeometryOf(*outcome));
    } else {
      Detach(true);
    }
  };
  connect(&session, &CaseSession::runStarted, this, [this] { Detach(false); });
  connect(&session, &CaseSession::runFinished, this, showRun);
  connect(&session, &CaseSession::chartCasesChanged, this,
          [this, &session] { ShowCases(session.ChartCases()); });
  showRun();
  ShowCases(session.ChartCases());
}

void HistoryWindow::Detach(bool failed) {
  run_ = nullptr;
  DropCases();
  for (QWidget* w : std::initializer_list<QWidget*>{quantity_, nodes_, reset_, image_, csv_})
    w->setEnabled(false);
  const QString message =
      failed ? tr("上次计算未完成，没有可显示的结果。") : tr("没有完成的计算。");
  status_->setText(message);
  status_->setVisible(failed);
  readOut_->clear();
  chart_->ClearData(message);
}

void HistoryWindow::SetQuantity(ChartQuantity quantity) {
  quantity_->setCurrentIndex(quantity_->findData(int(quantity)));
}

void HistoryWindow::SetNodes(const std::vector<int>& nodes) {
  {
    const QSignalBlocker blocker(nodes_);
    for (int k = 0; k < nodes_->count(); ++k) nodes_->item(k)->setCheckState(Qt::Unchecked);
    for (int node : nodes) {
      if (node >= 1 && node <= nodes_->count()) nodes_->item(node - 1)->setCheckState(Qt::Checked);
    }
  }
  Redraw();
}

std::vector<int> HistoryWindow::Nodes() const {
  std::vector<int> nodes;
  for (int k = 0; k < nodes_->count(); ++k) {
    if (nodes_->item(k)->checkState() == Qt::Checked) nodes.push_back(k + 1);
  }
  return nodes;
}

bool HistoryWindow::ShowsPump() const { return quantity_->currentData().toInt() == kPumpAndInflow; }

void HistoryWindow::Redraw() {
  if (!run_) return;
  readOut_->clear();
  nodes_->setEnabled(!ShowsPump());
  const std::vector<int> picked = PickedCases();
  if (picked.size() == 1) return chart_->SetData(CaseChartOf(picked.front()));
  std::vector<CaseChart> charts;
  charts.reserve(picked.size());
  for (int index : picked) charts.push_back({caseRuns_[index].name, CaseChartOf(index), index});
  chart_->SetData(ComparisonChart(charts));
}

void HistoryWindow::ShowCases(std::vector<ChartCase> cases) {
  if (!run_ || cases.size() < 2) {
    DropCases();
    return Redraw();
  }
  caseRuns_ = std::move(cases);
  caseGeometries_.clear();
  std::vector<std::string> names;
  for (const ChartCase& c : caseRuns_) {
    caseGeometries_.push_back(GeometryOf(c.outcome));
    names.push_back(c.name);
  }
  cases_->SetNames(names);
  casesLabel_->show();
  Redraw();
}

void HistoryWindow::DropCases() {
  caseRuns_.clear();
  caseGeometries_.clear();
  cases_->SetNames({});
  casesLabel_->hide();
}

std::vector<int> HistoryWindow::PickedCases() const {
  if (caseRuns_.empty()) return {0};
  return cases_->Picked();
}

const SurgeRun& HistoryWindow::RunOf(int index) const {
  return caseRuns_.empty() ? *run_ : *caseRuns_[index].run;
}

const RunGeometry& HistoryWindow::GeometryOfCase(int index) const {
  return caseRuns_.empty() ? geometry_ : caseGeometries_[index];
}

std::vector<int> HistoryWindow::NodesOf(int index) const {
  std::vector<int> nodes = Nodes();
  if (caseRuns_.empty() || caseRuns_[index].run == run_) return nodes;
  const int count = RunOf(index).GridNodes();
  for (int& node : nodes)
    node = NodeByRole(geometry_, nodes_->count(), node, GeometryOfCase(index), count);
  return nodes;
}

ChartData HistoryWindow::CaseChartOf(int index) const {
  // The pump's chart is of the forebay end alone: no nodes to choose.
  if (ShowsPump()) return PumpDischargeChart(RunOf(index), GeometryOfCase(index));
  const auto quantity = static_cast<ChartQuantity>(quantity_->currentData().toInt());
  return HistoryChart(RunOf(index), GeometryOfCase(index), NodesOf(index), quantity);
}

std::string HistoryWindow::CaseCsvOf(int index) const {
  // Every step in the time range shown, for the nodes shown.
  const SurgeRun& run = RunOf(index);
  const StepSpan steps =
      StepsWithin(run, chart_->ShownFrom(), chart_->ShownTo()).value_or(StepSpan{1, 0});
  if (ShowsPump()) return PumpDischargeCsv(run, GeometryOfCase(index), steps);
  const auto quantity = static_cast<ChartQuantity>(quantity_->currentData().toInt());
  return HistoryCsv(run, GeometryOfCase(index), NodesOf(index), quantity, steps);
}

void HistoryWindow::exportImage() { Export(true); }
void HistoryWindow::exportCsv() { Export(false); }

void HistoryWindow::Export(bool image) {
  if (!run_) return;
  ExportChart(
      this, chooseFile_, image, tr("过程线"),
      [this](const std::string& path) { chart_->SaveImage(path); },
      [this] {
        const std::vector<int> picked = PickedCases();
        if (picked.size() == 1) return CaseCsvOf(picked.front());
        std::vector<CaseCsv> csvs;
        csvs.reserve(picked.size());
        for (int index : picked) csvs.push_back({caseRuns_[index].name, CaseCsvOf(index)});
        return CasesCsv(csvs);
      },
      // A CSV of the times alone would be no export of a chart.
      !image && !ShowsPump() && Nodes().empty()
          ? tr("未勾选节点，没有可导出的数据：请先在左侧列表中勾选节点。")
          : QString());
}

}  // namespace kelvane::ui
