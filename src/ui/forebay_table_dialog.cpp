#include "ui/forebay_table_dialog.h"

#include <QVBoxLayout>
#include <cmath>

#include "charts/event_chart.h"
#include "format/number_format.h"
#include "model/run_preview.h"
#include "ui/event_dialog_frame.h"

namespace kelvane::ui {

ForebayTableDialog::ForebayTableDialog(const EventTexts& events, const InputTexts& inputs,
                                       QWidget* parent)
    : QDialog(parent), events_(events) {
  setObjectName(QStringLiteral("ForebayTableDialog"));
  setWindowTitle(tr("前池水位–面积"));
  if (const std::optional<RunPreview> preview = PreviewRun(inputs);
      preview && std::isfinite(preview->stabilityLimit))
    limit_ = preview->stabilityLimit;
  boxArea_ = QString::fromStdString(inputs[InputId::ForebayArea]);

  table_ = new EventTable(EventField::ForebayAreaTable, this);
  table_->setObjectName(QStringLiteral("ForebayAreaTable"));
  table_->setMinimumWidth(300);
  auto* note = new QLabel(tr("水位须逐行升高，面积大于 0；表内按线性插值，表外取两端的面积。"
                             "每个时段按上一时段的前池水位取面积。"),
                          this);
  note->setWordWrap(true);
  note->setMaximumWidth(300);

  auto* fields = new QVBoxLayout();
  fields->addWidget(table_, 1);
  fields->addWidget(note);
  frame_ = FrameEventDialog(*this, fields, tr("去掉水位–面积表：前池面积取输入框的常数"));
  connect(frame_.clear, &QPushButton::clicked, this, &ForebayTableDialog::clearTable);

  if (events.areaTable) table_->SetRows(*events.areaTable);
  connect(table_, &EventTable::changed, this, &ForebayTableDialog::Update);
  Update();
}

EventTexts ForebayTableDialog::Events() const {
  EventTexts out = events_;
  out.areaTable.reset();
  if (TextTable rows = table_->Rows(); !rows.empty()) out.areaTable = std::move(rows);
  return out;
}

void ForebayTableDialog::clearTable() {
  table_->SetRows({});
  events_.areaTable.reset();
  accept();
}

void ForebayTableDialog::Update() {
  const bool good = table_->Faults().empty();
  frame_.ok->setEnabled(good);
  if (!good) {
    const QString problem = tr("有不能使用的行（浅黄色），见表下的提示");
    frame_.preview->ClearData(problem);
    frame_.summary->setText(problem);
    return;
  }
  const TextTable rows = table_->Rows();
  const std::vector<ForebayPoint> points =
      rows.empty() ? std::vector<ForebayPoint>() : ReadForebayAreaTable(rows);
  frame_.preview->SetData(ForebayAreaChart(points, limit_));
  QStringList lines;
  ModelExtras extras;
  extras.forebay.areaTable = points;
  for (const std::string& line : ModelExtrasLines(extras)) lines << QString::fromStdString(line);
  if (lines.isEmpty()) lines << tr("无水位–面积表：前池面积取输入框的 %1 m²").arg(boxArea_);
  if (limit_) {
    lines << tr("前池面积稳定下限 %1 m²").arg(QString::fromStdString(SignificantText(*limit_, 4)));
    if (!points.empty() && SmallestForebayArea(points) < *limit_)
      lines << tr("表中最小面积低于稳定下限：前池水位可能振荡发散");
  }
  frame_.summary->setText(lines.join(QLatin1Char('\n')));
}

}  // namespace kelvane::ui
