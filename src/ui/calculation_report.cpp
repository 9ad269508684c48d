#include "ui/calculation_report.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDate>
#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextObjectInterface>
#include <cmath>
#include <string>
#include <type_traits>

#include "output/file_writer.h"
#include "report/chart_data.h"
#include "report/chart_scene.h"
#include "solver/number_format.h"
#include "solver/stability.h"
#include "ui/chart_painter.h"

namespace kelvane {
namespace {

using namespace Qt::StringLiterals;

// Page geometry, mm: A4 with room for the header and the page number.
constexpr double kMarginLeft = 25, kMarginRight = 20, kMarginTop = 28, kMarginBottom = 22;
constexpr int kResolution = 600;       // dpi of the PDF's device units
constexpr double kChartAspect = 0.55;  // height over width

QString Q(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

std::string Html(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "<br/>";
    } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
      out += ' ';  // other control characters would not print
    } else {
      AppendXmlEscaped(out, std::string_view(&c, 1));
    }
  }
  return out;
}

template <class T>
std::string Shortest(T value) {
  if constexpr (std::is_integral_v<T>) {
    return std::to_string(value);
  } else {
    return ShortestText(value);
  }
}

// A value as the run holds it, in its own precision: the shortest text that
// reads back to the same single, double or integer.
std::string HeldValue(const RunParameters& p, InputId id) {
  switch (id) {
    case InputId::SteadyDischarge:
      return Shortest(p.SteadyDischarge);
    case InputId::IntakeHeadLoss:
      return Shortest(p.IntakeHeadLoss);
    case InputId::ReservoirLevel:
      return Shortest(p.ReservoirLevel);
    case InputId::SegmentCount:
      return Shortest(int(p.SegmentCount));
    case InputId::StepCount:
      return Shortest(int(p.StepCount));
    case InputId::FrictionFactor:
      return Shortest(p.FrictionFactor);
    case InputId::CulvertSlope:
      return Shortest(p.CulvertSlope);
    case InputId::HydraulicRadius:
      return Shortest(p.HydraulicRadius);
    case InputId::ForebayArea:
      return Shortest(p.ForebayArea);
    case InputId::CulvertArea:
      return Shortest(p.CulvertArea);
    case InputId::WaveSpeed:
      return Shortest(p.WaveSpeed);
    case InputId::CulvertLength:
      return Shortest(p.CulvertLength);
    case InputId::FirstOutputStep:
      return Shortest(int(p.FirstOutputStep));
    case InputId::LastOutputStep:
      return Shortest(int(p.LastOutputStep));
    case InputId::OutputInterval:
      return Shortest(p.OutputInterval);
    case InputId::FinalPumpDischarge:
      return Shortest(p.FinalPumpDischarge);
  }
  return "";
}

// "0.0105": four significant digits, for a value whose size is not known.
std::string Significant(double value) { return SignificantText(value, 4); }

// ---------------------------------------------------------------- the text

struct Table {
  std::string html =
      "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" width=\"100%\" "
      "style=\"border-collapse: collapse; border-color: #606060;\">";
  // The heading row; `widths` in per cent of the table, none for the
  // layout's own choice.
  void Head(std::initializer_list<std::string> cells, std::initializer_list<int> widths = {}) {
    html += "<thead><tr>";
    const int* width = widths.begin();
    for (const std::string& cell : cells) {
      html += "<th bgcolor=\"#e8e8e8\"";
      if (width != widths.end()) {
        html += " width=\"";
        html += std::to_string(*width++);
        html += "%\"";
      }
      html += '>';
      html += Html(cell);
      html += "</th>";
    }
    html += "</tr></thead>";
  }
  // Cells given as text; a cell starting with '>' is a number, aligned
  // right, one starting with '=' is kept on one line.
  void Row(std::initializer_list<std::string> cells) {
    html += "<tr>";
    for (const std::string& cell : cells) {
      if (cell.starts_with('>')) {
        html += "<td align=\"right\" nowrap>" + Html(cell.substr(1)) + "</td>";
      } else if (cell.starts_with('=')) {
        html += "<td nowrap>" + Html(cell.substr(1)) + "</td>";
      } else {
        html += "<td>" + Html(cell) + "</td>";
      }
    }
    html += "</tr>";
  }
  // The table and a little room beneath it.
  std::string End() { return html + "</table><p style=\"font-size: 4pt;\">&nbsp;</p>"; }
};

std::string Paragraph(const std::string& text) { return "<p>" + Html(text) + "</p>"; }
std::string Heading(const std::string& text) { return "<h2>" + Html(text) + "</h2>"; }
std::string Right(const std::string& text) { return ">" + text; }
std::string OneLine(const std::string& text) { return "=" + text; }

// Where a chart goes: a paragraph of its own that the document later holds
// as one drawn object.
const char* ChartMarker(ReportChart chart) {
  return chart == ReportChart::ForebayLevel ? "[[chart:forebay]]" : "[[chart:envelope]]";
}

struct Facts {
  const ReportInput& in;
  const SurgeRun& run;
  const RunSummary& s;
  const RunParameters& p;
  DesignCheckReport checks;
  RunGeometry geometry;
};

std::string Level(float value) { return FixedText(value, 3); }

std::string Overview(const Facts& f) {
  std::string out = Heading("1  工程概况");
  const std::string title = f.in.title.empty() ? "未命名算例" : f.in.title;
  out += Paragraph("算例：" + title);
  if (!f.in.notes.empty()) out += Paragraph("说明：" + f.in.notes);
  out += Paragraph("水库水位 " + HeldValue(f.p, InputId::ReservoirLevel) +
                   " m，水流经取水头部（水头损失 " + HeldValue(f.p, InputId::IntakeHeadLoss) +
                   " m）进入长 " + HeldValue(f.p, InputId::CulvertLength) + " m、断面面积 " +
                   HeldValue(f.p, InputId::CulvertArea) + " m² 的箱涵，再进入水面面积 " +
                   HeldValue(f.p, InputId::ForebayArea) + " m² 的前池，由水泵抽水。");
  if (f.s.eventLines.empty()) {
    out += Paragraph("计算工况：水泵流量由 " + HeldValue(f.p, InputId::SteadyDischarge) +
                     " m³/s 突然变为 " + HeldValue(f.p, InputId::FinalPumpDischarge) +
                     " m³/s（泵突启闭）。");
  } else {
    // The pump event and area table in force, in the summary's own words.
    std::string lines;
    for (const std::string& line : f.s.eventLines) lines += (lines.empty() ? "" : "；") + line;
    out += Paragraph("计算工况：" + lines + "。");
  }
  return out;
}

std::string Method(const Facts& f) {
  std::string out = Heading("2  计算依据与方法");
  out += Paragraph(
      "箱涵内的非恒定有压流用特征线法计算：箱涵等分为 " + std::to_string(f.s.reaches) +
      " 个管段，时间步长取波传过一个管段的时间（库朗数为 1），内部节点由顺、逆两条特征线"
      "相交求得水头和流速。上游端（节点 1）保持水库水位不变；下游端为前池，前池水位按蓄水量"
      "平衡显式推进（用上一时段的入流），前池端流速再由顺特征线求得。初始状态为恒定流水面线，"
      "计入取水头部水头损失、进口与出口局部损失和沿程摩阻损失。");
  Table grid;
  grid.Head({"计算网格", "数值"});
  grid.Row({"管段数 n", Right(std::to_string(f.s.reaches))});
  grid.Row({"节点数", Right(std::to_string(f.s.nodes))});
  grid.Row({"管段长度 Δx", Right(FixedText(f.s.reachLength, 3) + " m")});
  grid.Row({"时间步长 Δt", Right(FixedText(f.s.timeStep, 6) + " s")});
  grid.Row({"弹性波速 a", Right(FixedText(f.s.waveSpeed, 1) + " m/s")});
  grid.Row({"相长 2L/a", Right(FixedText(f.s.waveRoundTrip, 3) + " s")});
  grid.Row({"计算时段数", Right(std::to_string(f.s.steps))});
  grid.Row({"模拟时长", Right(FixedText(f.s.simulatedTime, 3) + " s（时段 1 至 " +
                              std::to_string(f.s.steps) + "）")});
  out += grid.End();

  out += "<h3>模型的适用范围</h3>";
  out += Paragraph(
      "（1）非恒定计算只计沿程摩阻，不计取水头部和局部损失，而初始水面线计入了这些损失，"
      "因此即使水泵流量不变，水流也不保持恒定：前池水位会缓慢漂移，趋向只由摩阻维持原流量时的水位。"
      "结果中的缓慢变化应与此区分。");
  const double limit = ForebayStabilityLimit(f.p, f.in.outcome.coefficients);
  std::string stability =
      "（2）前池水位的显式更新有稳定限：前池水面面积须大于 Af,min = g·Ac·Δt/(2a)";
  if (std::isinf(limit)) {
    stability += "，本次计算的系数下不存在稳定的前池面积，结果不可用。";
  } else if (limit <= 0) {
    stability += "；本次计算箱涵面积为零，前池水位不反馈，无此限制。";
  } else {
    const double ratio = f.p.ForebayArea / limit;
    stability += " = " + Significant(limit) + " m²；本次前池水面面积 " +
                 HeldValue(f.p, InputId::ForebayArea) + " m²，为稳定限的 " +
                 FixedText(ratio, ratio >= 100 ? 0 : 2) + " 倍。";
    stability += ratio <= 1
                     ? "低于稳定限，计算发散，结果不可用。"
                     : "稳定限以上计算有界，但边界更新每一时段给振荡注入少许能量，只靠摩阻消耗；"
                       "前池面积越小，虚假振荡越大，面积仅数平方米或更小时结果应存疑。";
  }
  out += Paragraph(stability);
  out += Paragraph(
      "（3）模型假定箱涵始终满流、有压。箱涵内水头低于洞顶时箱涵脱空进气，低于洞顶减汽化压力水头"
      "时水柱分离，此后的结果不再有效；给出箱涵高程时由第 5 节校核。");
  return out;
}

std::string Inputs(const Facts& f) {
  std::string out = Heading("3  基本资料");
  out += Paragraph("下表列出每项输入的文字（按输入原样）和程序读入的数值（按其保存精度）。");
  Table inputs;
  inputs.Head({"序号", "名称", "单位", "输入文字", "读入值"});
  for (const InputField& field : InputFields()) {
    inputs.Row({Right(std::to_string(BoxNumber(field.id))), field.caption, field.unit,
                "“" + f.in.texts[field.id] + "”", Right(HeldValue(f.p, field.id))});
  }
  out += inputs.End();
  if (!f.s.eventLines.empty()) {
    out += "<h3>泵流量过程与前池面积</h3>";
    for (const std::string& line : f.s.eventLines) out += Paragraph(line);
  }
  out += "<h3>设计资料</h3>";
  if (!f.in.design.Any()) {
    out += Paragraph("未给出设计资料。");
    return out;
  }
  Table design;
  design.Head({"名称", "单位", "输入文字", "读入值"});
  for (const DesignField& field : DesignFields()) {
    if (!f.in.design[field.id]) continue;
    const std::optional<double>& value = f.checks.data[field.id];
    design.Row({field.caption, field.unit, "“" + *f.in.design[field.id] + "”",
                Right(value ? Shortest(*value) : "空，不计")});
  }
  if (!f.checks.vapourHeadText.empty()) {
    design.Row(
        {"汽化压力水头（大气压水头减饱和蒸汽压水头）", "m", "", Right(f.checks.vapourHeadText)});
  }
  out += design.End();
  return out;
}

std::string Results(const Facts& f) {
  std::string out = Heading("4  计算结果");
  out += "<p align=\"center\">" + std::string(ChartMarker(ReportChart::ForebayLevel)) + "</p>";
  out += "<p align=\"center\">图 1  前池水位过程线（节点 " + std::to_string(f.s.nodes) + "）</p>";
  out += "<p align=\"center\">" + std::string(ChartMarker(ReportChart::HeadEnvelope)) + "</p>";
  out += "<p align=\"center\">图 2  沿程水头包络线</p>";

  out += "<h3>前池水位（节点 " + std::to_string(f.s.nodes) + "）</h3>";
  Table forebay;
  forebay.Head({"项目", "数值", "出现时刻"});
  forebay.Row({"初始", Right(Level(f.s.forebayInitial) + " m"), ""});
  forebay.Row({"最高", Right(Level(f.s.forebayHighest.value) + " m"),
               StepTimeText(f.run, f.s.forebayHighest.step)});
  forebay.Row({"最低", Right(Level(f.s.forebayLowest.value) + " m"),
               StepTimeText(f.run, f.s.forebayLowest.step)});
  if (f.s.forebayReversalStep) {
    forebay.Row({"末端流速反向",
                 Right(FixedText(f.run.Velocity(f.s.nodes, f.s.forebayReversalStep), 3) + " m/s"),
                 StepTimeText(f.run, f.s.forebayReversalStep)});
  } else {
    forebay.Row({"末端流速反向", Right("无"), ""});
  }
  out += forebay.End();

  out += "<h3>包络（时段 1 至 " + std::to_string(f.s.steps) + "；水头 m，流速 m/s）</h3>";
  Table envelope;
  envelope.Head({"节点", "距离 m", "最高水头", "时段", "最低水头", "时段", "最大流速", "时段",
                 "最小流速", "时段"});
  for (int node = 1; node <= f.s.nodes; ++node) {
    const NodeEnvelope& e = f.s.envelope[node - 1];
    envelope.Row(
        {Right(std::to_string(node)), Right(FixedText(NodeDistance(f.geometry, node), 3)),
         Right(FixedText(e.highestHead.value, 3)), Right(std::to_string(e.highestHead.step)),
         Right(FixedText(e.lowestHead.value, 3)), Right(std::to_string(e.lowestHead.step)),
         Right(FixedText(e.highestVelocity.value, 3)),
         Right(std::to_string(e.highestVelocity.step)), Right(FixedText(e.lowestVelocity.value, 3)),
         Right(std::to_string(e.lowestVelocity.step))});
  }
  out += envelope.End();
  return out;
}

std::string Checks(const Facts& f) {
  std::string out = Heading("5  校核");
  if (f.checks.rows.empty()) {
    out +=
        Paragraph(f.checks.data.Any() ? "设计资料不全，未作校核。" : "未给出设计资料，未作校核。");
  } else {
    Table table;
    table.Head({"项目", "判据", "限值 m", "计算值 m", "位置", "出现时刻", "结论"},
               {11, 17, 9, 9, 22, 24, 8});
    for (const CheckRow& row : f.checks.rows) {
      table.Row({row.item, row.rule, Right(row.limitText), Right(row.valueText),
                 OneLine(row.whereText), OneLine(row.whenText), OneLine(row.verdictText)});
    }
    out += table.End();
  }
  if (!f.checks.missing.empty()) {
    std::string names;
    for (DesignId id : f.checks.missing) {
      names += (names.empty() ? "" : "、") + std::string(Field(id).caption);
    }
    out += Paragraph("未校核：缺少" + names + "。");
  }
  return out;
}

std::string Conclusions(const Facts& f) {
  std::string out = Heading("6  结论");
  out += Paragraph("水泵流量由 " + HeldValue(f.p, InputId::SteadyDischarge) + " m³/s 变为 " +
                   HeldValue(f.p, InputId::FinalPumpDischarge) + " m³/s 后，前池水位由初始 " +
                   Level(f.s.forebayInitial) + " m 变化，最高 " + Level(f.s.forebayHighest.value) +
                   " m（" + StepTimeText(f.run, f.s.forebayHighest.step) + "），最低 " +
                   Level(f.s.forebayLowest.value) + " m（" +
                   StepTimeText(f.run, f.s.forebayLowest.step) + "）。");
  if (f.checks.conclusions.empty()) {
    out += Paragraph("未作校核。");
  }
  int number = 0;
  for (const std::string& sentence : f.checks.conclusions) {
    out += Paragraph("（" + std::to_string(++number) + "）" + sentence);
  }
  return out;
}

// ---------------------------------------------------------------- drawing

constexpr int kChartObjectType = QTextFormat::UserObject + 1;
constexpr int kChartProperty = QTextFormat::UserProperty + 1;

// The charts as objects of the document, drawn by DrawReportChart wherever
// the layout puts them.
class ChartObject : public QObject, public QTextObjectInterface {
  Q_OBJECT
  Q_INTERFACES(QTextObjectInterface)

 public:
  ChartObject(const ReportInput& input, double width) : input_(input), width_(width) {}
  QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat&) override {
    return {width_, width_ * kChartAspect};
  }
  void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                  const QTextFormat& format) override {
    DrawReportChart(*painter, rect, ReportChart(format.property(kChartProperty).toInt()), input_);
  }

 private:
  const ReportInput& input_;
  double width_;
};

QFont ReportFont(double points) {
  QFont font;
  // CJK faces first, so every Chinese character comes from one embedded face.
  font.setFamilies({u"Noto Sans CJK SC"_s, u"Source Han Sans SC"_s, u"WenQuanYi Zen Hei"_s,
                    u"Microsoft YaHei"_s, u"SimSun"_s});
  font.setPointSizeF(points);
  return font;
}

[[noreturn]] void Fail(const char* what) {
  ErrorLocation where;
  where.stage = Stage::Report;
  where.detail = what;
  throw RunError(ErrorCode::PathFileAccess, where);
}

}  // namespace

ChartData ReportChartData(const ReportInput& input, ReportChart chart) {
  const RunGeometry geometry = GeometryOf(input.outcome);
  const DesignData design = ReadDesignData(input.design);
  if (chart == ReportChart::ForebayLevel) {
    const int forebay[] = {input.summary.nodes};
    ChartData data = HistoryChart(*input.run, geometry, forebay, ChartQuantity::Head);
    data.limits = ForebayDesignLimits(design);
    return data;
  }
  ChartData data = EnvelopeChart(input.summary, *input.run, geometry, EnvelopeOf::Head);
  AddCulvertDesign(data, design, input.summary, geometry);
  return data;
}

void DrawReportChart(QPainter& painter, const QRectF& area, ReportChart chart,
                     const ReportInput& input) {
  // The scene is laid out in pixels of 1/96 inch, so that its fonts and pens
  // print at the sizes the windows show them; the painter scales those pixels
  // onto the PDF's units.
  const double scale = kResolution / 96.0;
  const ChartScene scene =
      LayoutChart(ReportChartData(input, chart), area.width() / scale, area.height() / scale);
  painter.save();
  painter.translate(area.topLeft());
  painter.scale(scale, scale);
  ui::PaintChart(painter, scene);
  painter.restore();
}

QByteArray CalculationReportPdf(const ReportInput& input) {
  if (input.run == nullptr) Fail("no run");
  Facts f{
      input, *input.run, input.summary, input.outcome.parameters, {}, GeometryOf(input.outcome)};
  f.checks = CheckDesign(ReadDesignData(input.design), input.summary, *input.run, input.outcome);

  const std::string title = input.title.empty() ? "未命名算例" : input.title;
  std::string html =
      "<html><body><h1 align=\"center\">" + Html(title) + "<br/>箱涵水力过渡过程计算书</h1>";
  html += Overview(f) + Method(f) + Inputs(f) + Results(f) + Checks(f) + Conclusions(f);
  html += "</body></html>";

  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(kResolution);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setTitle(Q(title + " 计算书"));
  writer.setCreator(u"Kelvane"_s);

  const double dotsPerMm = kResolution / 25.4;
  const QRectF page(0, 0, writer.width(), writer.height());
  const QRectF body(kMarginLeft * dotsPerMm, kMarginTop * dotsPerMm,
                    page.width() - (kMarginLeft + kMarginRight) * dotsPerMm,
                    page.height() - (kMarginTop + kMarginBottom) * dotsPerMm);

  QTextDocument document;
  document.documentLayout()->setPaintDevice(&writer);
  document.setDefaultFont(ReportFont(10.5));
  document.setDocumentMargin(0);
  document.setPageSize(body.size());
  document.setDefaultStyleSheet(
      u"h1 { font-size: 18pt; } h2 { font-size: 14pt; margin-top: 14pt; } "
      "h3 { font-size: 11pt; margin-top: 8pt; } p { margin-top: 3pt; margin-bottom: 3pt; } "
      "th, td { font-size: 9.5pt; }"_s);
  ChartObject charts(input, body.width() * 0.95);
  document.documentLayout()->registerHandler(kChartObjectType, &charts);
  document.setHtml(Q(html));
  for (ReportChart chart : {ReportChart::ForebayLevel, ReportChart::HeadEnvelope}) {
    QTextCursor cursor = document.find(QString::fromLatin1(ChartMarker(chart)));
    if (cursor.isNull()) continue;
    QTextCharFormat format;
    format.setObjectType(kChartObjectType);
    format.setProperty(kChartProperty, int(chart));
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
  }

  const QString date =
      input.date.empty() ? QDate::currentDate().toString(Qt::ISODate) : Q(input.date);
  QPainter painter;
  if (!painter.begin(&writer)) Fail("cannot draw the PDF");
  const int pages = document.pageCount();
  const QFont small = ReportFont(9);
  for (int pageIndex = 0; pageIndex < pages; ++pageIndex) {
    if (pageIndex > 0) writer.newPage();
    // The header: the case title left, the date right, a rule beneath.
    painter.setFont(small);
    painter.setPen(QPen(Qt::black, 0));
    const double headerBase = body.top() - 4 * dotsPerMm;
    const QRectF header(body.left(), headerBase - 8 * dotsPerMm, body.width(), 8 * dotsPerMm);
    painter.drawText(header, Qt::AlignLeft | Qt::AlignBottom, Q(title) + u"  计算书"_s);
    painter.drawText(header, Qt::AlignRight | Qt::AlignBottom, u"计算日期 "_s + date);
    painter.setPen(QPen(Qt::black, 0.3 * dotsPerMm));
    painter.drawLine(QPointF(body.left(), headerBase + dotsPerMm),
                     QPointF(body.right(), headerBase + dotsPerMm));
    // The page number, centred beneath the body.
    painter.setPen(QPen(Qt::black, 0));
    const QRectF footer(body.left(), body.bottom() + 6 * dotsPerMm, body.width(), 8 * dotsPerMm);
    painter.drawText(footer, Qt::AlignHCenter | Qt::AlignTop,
                     u"第 %1 页  共 %2 页"_s.arg(pageIndex + 1).arg(pages));

    // This page's share of the laid-out document.
    painter.save();
    painter.translate(body.left(), body.top() - pageIndex * body.height());
    QAbstractTextDocumentLayout::PaintContext context;
    // The clip ends one unit short of the next page, so that a line drawn
    // exactly on the page boundary (the top of a chart beginning the next
    // page) is drawn there only.
    context.clip = QRectF(0, pageIndex * body.height(), body.width(), body.height() - 1);
    painter.setClipRect(context.clip);
    document.documentLayout()->draw(&painter, context);
    painter.restore();
  }
  if (!painter.end()) Fail("cannot finish the PDF");
  return bytes;
}

void WriteCalculationReport(const ReportInput& input, const std::string& path) {
  const QByteArray bytes = CalculationReportPdf(input);
  WriteFileAtomically(path, [&](const ByteWriter& write) {
    write(std::string_view(bytes.constData(), std::size_t(bytes.size())));
  });
}

}  // namespace kelvane

#include "calculation_report.moc"
