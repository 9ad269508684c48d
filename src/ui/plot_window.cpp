#include "ui/plot_window.h"

#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "report/chart_data.h"
#include "report/design_checks.h"
#include "ui/case_session.h"
#include "ui/twips.h"

namespace kelvane::ui {

namespace {

// The window's size as the picture shows.
const QSize kPictureSize(Px(10725), Px(5070));

// The forebay level of one case over every computed step.
ChartData ForebayChartOf(const ChartCase& c) {
  const int forebay[] = {c.run->GridNodes()};
  return HistoryChart(*c.run, GeometryOf(c.outcome), forebay, ChartQuantity::Head);
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  // First in the tab order: the window opens with the focus on the picture,
  // not on "清除", so a stray space bar wipes nothing.
  setFocusPolicy(Qt::StrongFocus);
}

void PictureBox::SetPicture(const PlotPicture& picture) {
  picture_ = picture;
  update();
}

void PictureBox::Clear() {
  picture_.Clear();
  update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.drawImage(event->rect(), picture_.Image(), event->rect());
}

PlotWindow::PlotWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(tr("前池水位变化线"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(kPictureSize);

  picture1_ = new PictureBox(this);
  picture1_->setObjectName(QStringLiteral("Picture1"));
  picture1_->setGeometry(Px(120), Px(120), Px(9675), Px(4455));

  command1_ = new QPushButton(tr("清除"), this);
  command1_->setObjectName(QStringLiteral("Command1"));
  command1_->setGeometry(Px(2880), Px(4560), Px(1935), Px(375));
  command2_ = new QPushButton(tr("关闭"), this);
  command2_->setObjectName(QStringLiteral("Command2"));
  command2_->setGeometry(Px(5640), Px(4560), Px(1935), Px(375));
  setTabOrder(picture1_, command1_);
  setTabOrder(command1_, command2_);
  picture1_->setFocus();

  connect(command1_, &QPushButton::clicked, this, &PlotWindow::clearPlot);
  connect(command2_, &QPushButton::clicked, this, &PlotWindow::closePlot);

  // The cases' chart fills the window while it is shown; the picture and
  // its buttons keep their places beneath it.
  caseView_ = new QWidget(this);
  cases_ = new CasePicker(caseView_);
  cases_->setFixedWidth(190);
  chart_ = new ChartView(caseView_);
  chart_->setObjectName(QStringLiteral("Chart"));
  readOut_ = new QLabel(caseView_);
  readOut_->setObjectName(QStringLiteral("ReadOut"));
  readOut_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* reset = new QPushButton(tr("复位"), caseView_);
  reset->setToolTip(tr("拖动鼠标框选放大；右键退回上一次放大；复位回到全图"));
  auto* image = new QPushButton(tr("导出图片…"), caseView_);
  auto* csv = new QPushButton(tr("导出 CSV…"), caseView_);
  auto* close = new QPushButton(tr("关闭"), caseView_);
  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel(tr("工况"), caseView_));
  side->addWidget(cases_);
  side->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* b : {reset, image, csv, close}) buttons->addWidget(b);
  auto* right = new QVBoxLayout;
  right->addWidget(chart_, 1);
  right->addWidget(readOut_);
  right->addLayout(buttons);
  auto* inner = new QHBoxLayout(caseView_);
  inner->addLayout(side);
  inner->addLayout(right, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(caseView_);
  caseView_->hide();

  connect(cases_, &CasePicker::pickedChanged, this, [this] { Redraw(); });
  connect(chart_, &ChartView::readOut, readOut_, &QLabel::setText);
  connect(reset, &QPushButton::clicked, chart_, &ChartView::ResetZoom);
  connect(image, &QPushButton::clicked, this, &PlotWindow::exportImage);
  connect(csv, &QPushButton::clicked, this, &PlotWindow::exportCsv);
  connect(close, &QPushButton::clicked, this, &PlotWindow::closePlot);
  chooseFile_ = [this](const SaveDialogSettings& settings) {
    return ChooseSaveFile(this, settings);
  };
}

void PlotWindow::clearPlot() { picture1_->Clear(); }

void PlotWindow::closePlot() { hide(); }

void PlotWindow::Follow(const CaseSession& session) {
  connect(&session, &CaseSession::runStarted, this, [this] { ShowCases({}); });
  connect(&session, &CaseSession::chartCasesChanged, this,
          [this, &session] { ShowCases(session.ChartCases()); });
  ShowCases(session.ChartCases());
}

void PlotWindow::ShowCases(std::vector<ChartCase> cases) {
  const bool shown = ShowsCases();
  caseRuns_ = cases.size() < 2 ? std::vector<ChartCase>() : std::move(cases);
  std::vector<std::string> names;
  names.reserve(caseRuns_.size());
  for (const ChartCase& c : caseRuns_) names.push_back(c.name);
  cases_->SetNames(names);
  for (QWidget* w : {static_cast<QWidget*>(picture1_), static_cast<QWidget*>(command1_),
                     static_cast<QWidget*>(command2_)})
    w->setVisible(!ShowsCases());
  caseView_->setVisible(ShowsCases());
  // The chart keeps the size it was given between one set of cases and the next.
  if (shown && !ShowsCases()) casesSize_ = size();
  if (ShowsCases() != shown) resize(ShowsCases() ? casesSize_ : kPictureSize);
  if (ShowsCases()) {
    Redraw();
  } else {
    readOut_->clear();
    chart_->ClearData(QString());
    picture1_->setFocus();
  }
}

void PlotWindow::Redraw() {
  if (!ShowsCases()) return;
  readOut_->clear();
  const std::vector<int> picked = cases_->Picked();
  if (picked.size() == 1) {
    // One case: its chart with the forebay's design levels, as the book has it.
    const ChartCase& c = caseRuns_[picked.front()];
    ChartData chart = ForebayChartOf(c);
    chart.limits = ForebayDesignLimits(c.design);
    return chart_->SetData(std::move(chart));
  }
  std::vector<CaseChart> charts;
  charts.reserve(picked.size());
  for (int index : picked)
    charts.push_back({caseRuns_[index].name, ForebayChartOf(caseRuns_[index]), index});
  // Each case's one line, named by the case.
  const std::string line[] = {""};
  chart_->SetData(ComparisonChart(charts, line, "各工况前池水位过程线"));
}

std::string PlotWindow::CaseCsvOf(int index) const {
  // Every step in the time range shown.
  const ChartCase& c = caseRuns_[index];
  const StepSpan steps =
      StepsWithin(*c.run, chart_->ShownFrom(), chart_->ShownTo()).value_or(StepSpan{1, 0});
  const int forebay[] = {c.run->GridNodes()};
  return HistoryCsv(*c.run, GeometryOf(c.outcome), forebay, ChartQuantity::Head, steps);
}

void PlotWindow::exportImage() {
  if (!ShowsCases()) return;
  ExportChart(
      this, chooseFile_, true, tr("前池水位过程线"),
      [this](const std::string& path) { chart_->SaveImage(path); }, [] { return std::string(); });
}

void PlotWindow::exportCsv() {
  if (!ShowsCases()) return;
  ExportChart(
      this, chooseFile_, false, tr("前池水位过程线"), [](const std::string&) {},
      [this] {
        const std::vector<int> picked = cases_->Picked();
        if (picked.size() == 1) return CaseCsvOf(picked.front());
        std::vector<CaseCsv> csvs;
        csvs.reserve(picked.size());
        for (int index : picked) csvs.push_back({caseRuns_[index].name, CaseCsvOf(index)});
        return CasesCsv(csvs);
      });
}

}  // namespace kelvane::ui
