#include "ui/pump_event_dialog.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>
#include <cmath>
#include <vector>

#include "charts/event_chart.h"
#include "format/number_format.h"
#include "model/run_preview.h"
#include "ui/event_dialog_frame.h"
#include "ui/flag_tint.h"

namespace kelvane::ui {

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Tints `box` and gives it the fault as its tooltip, or clears both.
void Mark(QLineEdit* box, const QString& fault, const QString& caption) {
  QPalette tinted;
  tinted.setColor(QPalette::Base, FlaggedBackColor());
  box->setPalette(fault.isEmpty() ? QPalette() : tinted);
  box->setToolTip(fault.isEmpty() ? FlagToolTip({caption}) : FlagToolTip({caption, fault}));
}

QLineEdit* Box(QWidget* parent, const char* name, const QString& text) {
  auto* box = new QLineEdit(text, parent);
  box->setObjectName(QLatin1String(name));
  return box;
}

// The text of a field kept as `events` had it; left out when it is the
// default and `events` did not have it.
std::optional<std::string> FieldText(const QLineEdit* box, const std::optional<std::string>& had,
                                     const char* defaultText) {
  std::string text = box->text().toStdString();
  if (!had && text == defaultText) return std::nullopt;
  return text;
}

}  // namespace

PumpEventDialog::PumpEventDialog(const EventTexts& events, const InputTexts& inputs,
                                 QWidget* parent)
    : QDialog(parent), events_(events) {
  setObjectName(QStringLiteral("PumpEventDialog"));
  setWindowTitle(tr("泵流量过程"));
  steady_ = ReadLeadingNumber(inputs[InputId::SteadyDischarge]);
  final_ = static_cast<float>(ReadLeadingNumber(inputs[InputId::FinalPumpDischarge]));
  if (const std::optional<RunPreview> preview = PreviewRun(inputs)) duration_ = preview->duration;

  // The ramp.
  auto* ramp = new QGroupBox(tr("斜坡（无流量过程时）"), this);
  rampTime_ = Box(ramp, "RampTime", QString::fromStdString(events.rampTime.value_or("0")));
  rampExponent_ =
      Box(ramp, "RampExponent", QString::fromStdString(events.rampExponent.value_or("1")));
  auto* rampForm = new QFormLayout(ramp);
  rampForm->addRow(tr("变化历时 Tc (s)"), rampTime_);
  rampForm->addRow(tr("变化指数 m"), rampExponent_);
  auto* rampNote =
      new QLabel(tr("Q(t) = Q1 + (Q0−Q1)(1−t/Tc)^m\nTc = 0：突变\nQ0 = %1 m³/s，Q1 = %2 m³/s")
                     .arg(Text(ShortestText(steady_)), Text(ShortestText(final_))),
                 ramp);
  rampNote->setWordWrap(true);
  rampForm->addRow(rampNote);

  // The unit-sequence generator.
  auto* generator = new QGroupBox(tr("机组启闭序列"), this);
  auto caption = [](int column) { return Text(EventColumnName(EventField::PumpUnits, column)); };
  const double share = steady_ > 0 ? steady_ / 2 : 1;
  unitCount_ = Box(generator, "UnitCount", QStringLiteral("2"));
  unitDischarge_ = Box(generator, "UnitDischarge", Text(ShortestText(share)));
  unitDirection_ = new QComboBox(generator);
  unitDirection_->setObjectName(QStringLiteral("UnitDirection"));
  unitDirection_->addItems({tr("依次停机"), tr("依次启动")});
  firstTime_ = Box(generator, "FirstUnitTime", QStringLiteral("0"));
  interval_ = Box(generator, "UnitInterval", QStringLiteral("30"));
  unitRamp_ = Box(generator, "UnitRampTime", QStringLiteral("10"));
  generate_ = new QPushButton(tr("生成流量过程"), generator);
  generate_->setObjectName(QStringLiteral("GenerateSchedule"));
  generate_->setAutoDefault(false);
  generatorMessage_ = new QLabel(generator);
  generatorMessage_->setObjectName(QStringLiteral("GeneratorMessage"));
  generatorMessage_->setWordWrap(true);
  generatorMessage_->setMinimumHeight(2 * generatorMessage_->fontMetrics().lineSpacing());
  auto* generatorForm = new QFormLayout(generator);
  generatorForm->addRow(caption(1), unitCount_);
  generatorForm->addRow(caption(2), unitDischarge_);
  generatorForm->addRow(tr("启闭"), unitDirection_);
  generatorForm->addRow(caption(3), firstTime_);
  generatorForm->addRow(caption(4), interval_);
  generatorForm->addRow(tr("单机") + caption(5), unitRamp_);
  generatorForm->addRow(generate_);
  generatorForm->addRow(generatorMessage_);
  for (int column = 1; column <= 5; ++column) {
    QLineEdit* box = column == 1   ? unitCount_
                     : column == 2 ? unitDischarge_
                     : column == 3 ? firstTime_
                     : column == 4 ? interval_
                                   : unitRamp_;
    Mark(box, QString(), caption(column));
  }

  // The schedule.
  auto* table = new QGroupBox(tr("流量过程（取代斜坡与泵突启闭后流量）"), this);
  schedule_ = new EventTable(EventField::PumpSchedule, table);
  schedule_->setObjectName(QStringLiteral("PumpSchedule"));
  schedule_->setMinimumWidth(260);
  auto* tableLayout = new QVBoxLayout(table);
  tableLayout->addWidget(schedule_);

  // The ramp and the generator, the table they give way to or fill, the
  // preview: left to right.
  ramp->setMinimumWidth(240);
  auto* left = new QVBoxLayout();
  left->addWidget(ramp);
  left->addWidget(generator);
  left->addStretch(1);
  auto* fields = new QHBoxLayout();
  fields->addLayout(left);
  fields->addWidget(table);
  frame_ = FrameEventDialog(*this, fields, tr("去掉斜坡与流量过程：计算只按十六个输入框"));
  connect(frame_.clear, &QPushButton::clicked, this, &PumpEventDialog::clearEvent);

  if (events.units) {
    ShowUnits(*events.units);
    generate();
  } else if (events.schedule) {
    schedule_->SetRows(*events.schedule);
  }
  connect(schedule_, &EventTable::changed, this, [this] {
    // Rows edited by hand are no longer the sequence's, nor what its note
    // counted.
    if (!filling_) {
      units_.reset();
      generatorMessage_->clear();
    }
    Update();
  });
  connect(rampTime_, &QLineEdit::textChanged, this, &PumpEventDialog::Update);
  connect(rampExponent_, &QLineEdit::textChanged, this, &PumpEventDialog::Update);
  connect(generate_, &QPushButton::clicked, this, &PumpEventDialog::generate);
  Update();
}

std::string PumpEventDialog::UnitsText() const {
  std::string discharge = unitDischarge_->text().toStdString();
  if (unitDirection_->currentIndex() == 0) discharge = "-" + discharge;
  return unitCount_->text().toStdString() + ":" + discharge + ":" +
         firstTime_->text().toStdString() + ":" + interval_->text().toStdString() + ":" +
         unitRamp_->text().toStdString();
}

void PumpEventDialog::ShowUnits(const std::string& text) {
  std::vector<QString> cells;
  for (const QString& cell : QString::fromStdString(text).split(QLatin1Char(':')))
    cells.push_back(cell);
  cells.resize(5);
  QString discharge = cells[1].trimmed();
  const bool stop = discharge.startsWith(QLatin1Char('-'));
  if (stop) discharge.remove(0, 1);
  unitCount_->setText(cells[0]);
  unitDischarge_->setText(discharge);
  unitDirection_->setCurrentIndex(stop ? 0 : 1);
  firstTime_->setText(cells[2]);
  interval_->setText(cells[3]);
  unitRamp_->setText(cells[4]);
}

void PumpEventDialog::generate() {
  QLineEdit* boxes[] = {unitCount_, unitDischarge_, firstTime_, interval_, unitRamp_};
  for (int column = 1; column <= 5; ++column)
    Mark(boxes[column - 1], QString(), Text(EventColumnName(EventField::PumpUnits, column)));
  const std::string text = UnitsText();
  std::vector<PumpPoint> points;
  try {
    points = UnitSequenceSchedule(ReadUnitSequence(text), steady_);
  } catch (const RunError& error) {
    const ErrorLocation& at = error.location();
    const QString fault = FaultText(at);
    if (at.column >= 1 && at.column <= 5)
      Mark(boxes[at.column - 1], fault, Text(EventColumnName(EventField::PumpUnits, at.column)));
    generatorMessage_->setText(fault);
    return;
  }
  if (!ReplaceRowsAllowed()) return;
  TextTable rows;
  for (const PumpPoint& p : points)
    rows.push_back(
        {static_cast<int>(rows.size()) + 1, {ShortestText(p.time), ShortestText(p.discharge)}});
  filling_ = true;
  schedule_->SetRows(rows);
  filling_ = false;
  units_ = text;
  generatorMessage_->setText(
      tr("已生成 %1 点（自 Q0 = %2 m³/s）").arg(points.size()).arg(Text(ShortestText(steady_))));
  Update();
}

bool PumpEventDialog::ReplaceRowsAllowed() {
  // Rows the generator left as they were are its own to replace; rows typed,
  // pasted or opened with the case are the user's.
  const std::size_t rows = schedule_->Rows().size();
  if (units_ || rows == 0) return true;
  QMessageBox question(QMessageBox::Question, tr("生成流量过程"),
                       tr("流量过程表中已有 %1 行。生成的流量过程将替换这些行，替换吗？").arg(rows),
                       QMessageBox::NoButton, this);
  question.setObjectName(QStringLiteral("ReplaceRowsQuestion"));
  QPushButton* replace = question.addButton(tr("替换"), QMessageBox::AcceptRole);
  question.setDefaultButton(question.addButton(tr("取消"), QMessageBox::RejectRole));
  question.exec();
  return question.clickedButton() == replace;
}

void PumpEventDialog::clearEvent() {
  events_.rampTime.reset();
  events_.rampExponent.reset();
  events_.schedule.reset();
  events_.units.reset();
  rampTime_->setText(QStringLiteral("0"));
  rampExponent_->setText(QStringLiteral("1"));
  schedule_->SetRows({});
  units_.reset();
  accept();
}

EventTexts PumpEventDialog::Events() const {
  EventTexts out = events_;
  out.rampTime = FieldText(rampTime_, events_.rampTime, "0");
  out.rampExponent = FieldText(rampExponent_, events_.rampExponent, "1");
  out.schedule.reset();
  out.units.reset();
  if (units_) {
    out.units = units_;
  } else if (TextTable rows = schedule_->Rows(); !rows.empty()) {
    out.schedule = std::move(rows);
  }
  return out;
}

void PumpEventDialog::Update() {
  acceptable_ = schedule_->Faults().empty();
  struct Field {
    QLineEdit* box;
    EventField field;
    double (*read)(std::string_view);
  };
  for (const Field& f : {Field{rampTime_, EventField::RampTime, &ReadRampTime},
                         Field{rampExponent_, EventField::RampExponent, &ReadRampExponent}}) {
    QString fault;
    try {
      f.read(f.box->text().toStdString());
    } catch (const RunError& error) {
      fault = FaultText(error.location());
      acceptable_ = false;
    }
    Mark(f.box, fault, Text(EventFieldName(f.field)));
  }
  ModelExtras extras;
  QString problem;
  if (acceptable_) {
    try {
      EventTexts pump = Events();
      pump.areaTable.reset();
      extras = ReadModelExtras(pump);
    } catch (const RunError& error) {
      problem = FaultText(error.location());
      acceptable_ = false;
    }
  } else {
    problem = tr("有不能使用的输入（浅黄色），见其提示或表下的提示");
  }
  frame_.ok->setEnabled(acceptable_);
  if (!acceptable_) {
    frame_.preview->ClearData(problem);
    frame_.summary->setText(problem);
    return;
  }
  frame_.preview->SetData(PumpDischargeChart(extras.pump, steady_, final_, duration_));
  QStringList lines;
  for (const std::string& line : ModelExtrasLines(extras)) lines << QString::fromStdString(line);
  if (lines.isEmpty())
    lines << tr("无斜坡、无流量过程：泵流量在第 1 个时段起突变为 %1 m³/s（泵突启闭后流量）")
                 .arg(Text(ShortestText(final_)));
  // What the event leaves doubtful, as the batch mode warns of it: the
  // first warning in the summary, each at its box.
  const std::vector<EventWarning> warnings = CheckEventTexts(Events());
  if (!warnings.empty()) {
    QString line = tr("警告：%1").arg(Text(EventWarningText(warnings.front())));
    if (warnings.size() > 1) line += tr("（共 %1 项）").arg(warnings.size());
    lines << line;
  }
  for (const EventWarning& warning : warnings) {
    if (warning.kind == EventWarningKind::ExponentWithoutRampTime)
      Mark(rampExponent_, Text(EventWarningText(warning)), Text(EventFieldName(warning.field)));
  }
  frame_.summary->setText(lines.join(QLatin1Char('\n')));
}

}  // namespace kelvane::ui
