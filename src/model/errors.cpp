// The error catalogue and the one place that words an error's location.
#include "model/errors.h"

#include <cerrno>
#include <cmath>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

#include "format/number_format.h"
#include "format/user_text.h"

namespace kelvane {

namespace {

std::string Quoted(std::string_view text) { return QuotedText(text); }

}  // namespace

std::string_view EventFieldName(EventField field) {
  switch (field) {
    case EventField::None:
      return "";
    case EventField::RampTime:
      return "泵流量变化历时";
    case EventField::RampExponent:
      return "泵流量变化指数";
    case EventField::PumpSchedule:
      return "泵流量过程";
    case EventField::PumpUnits:
      return "机组启闭序列";
    case EventField::ForebayAreaTable:
      return "前池水位–面积表";
    case EventField::Model:
      return "计算模型";
    case EventField::Section:
      return "断面形式";
  }
  return "";
}

std::string_view EventColumnName(EventField field, int column) {
  static constexpr std::string_view kSchedule[] = {"时间 (s)", "流量 (m³/s)"};
  static constexpr std::string_view kArea[] = {"水位 (m)", "面积 (m²)"};
  static constexpr std::string_view kUnits[] = {"台数", "单机流量 (m³/s)", "首台时刻 (s)",
                                                "间隔 (s)", "历时 (s)"};
  const auto pick = [column](auto& names) -> std::string_view {
    return column >= 1 && column <= static_cast<int>(std::size(names)) ? names[column - 1] : "";
  };
  switch (field) {
    case EventField::PumpSchedule:
      return pick(kSchedule);
    case EventField::ForebayAreaTable:
      return pick(kArea);
    case EventField::PumpUnits:
      return pick(kUnits);
    default:
      return "";
  }
}

std::string EventLocationText(const ErrorLocation& at) {
  std::string text(EventFieldName(at.eventField));
  if (at.row > 0) text += "第 " + std::to_string(at.row) + " 行";
  const std::string_view column = EventColumnName(at.eventField, at.column);
  const bool units = at.eventField == EventField::PumpUnits;
  if (!column.empty()) text += Quoted(column) + (units ? "项" : "列");
  text += "：";
  const std::string cell = Quoted(at.detail);
  switch (at.eventFault) {
    case EventFault::None:
      break;
    case EventFault::NotANumber:
      text += at.detail.empty() ? "空白，应为数" : cell + "不是数";
      break;
    case EventFault::OutOfRange:
      text += cell + "超出数的范围（绝对值应小于 1.8e308）";
      break;
    case EventFault::StrayQuote:
      text += "引号不配对（带逗号或引号的单元格须整格加引号，格内引号写两次）";
      break;
    case EventFault::OpenQuote:
      text += "引号未闭合（单元格不能跨行）";
      break;
    case EventFault::MissingCell:
      text += units ? "缺少此项（格式为 台数:单机流量:首台时刻:间隔:历时）" : "缺少此列的数";
      break;
    case EventFault::ExtraCell:
      text += "多出" + cell + (units ? "（只有 5 项）" : "（每行只有 2 列）");
      break;
    case EventFault::EmptyTable:
      text += "表中没有数据";
      break;
    case EventFault::TimeGoesBack:
      text += "时间 " + at.detail + " 早于上一行的 " + ShortestText(at.value.value_or(0)) +
              "（时间不能倒退；同一时间两行表示突变）";
      break;
    case EventFault::LevelNotRising:
      text += "水位 " + at.detail + " 不高于上一行的 " + ShortestText(at.value.value_or(0)) +
              "（水位须逐行升高，不能重复）";
      break;
    case EventFault::NotPositive:
      text += cell + "应大于 0";
      break;
    case EventFault::Negative:
      text += cell + "不能为负";
      break;
    case EventFault::NotWhole:
      text += cell + "应为 1 至 1000 的整数";
      break;
    case EventFault::ScheduleAndUnits:
      text += "与泵流量过程只能给出一个";
      break;
    case EventFault::StopsMoreThanRuns:
      text += "停机共 " + at.detail + " m³/s，多于恒定泵流量 " +
              ShortestText(at.value.value_or(0)) + " m³/s（泵流量将为负）";
      break;
    case EventFault::UnknownModel:
      text += cell + "不是计算模型（可用 classic、balanced、mixed）";
      break;
    case EventFault::UnknownSection:
      text += cell + "不是断面形式（可用 box、channel）";
      break;
    case EventFault::MissingGeometry:
      text += "混合流模型（mixed）缺少 " + at.detail;
      break;
  }
  return text;
}

std::string_view ErrorDescription(ErrorCode code) {
  switch (code) {
#define KELVANE_ERROR(name, number, description) \
  case ErrorCode::name:                          \
    return description;
#include "model/errors.def"
  }
  return "未知错误";
}

ErrorCode FileErrorCode(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return ErrorCode::PermissionDenied;
    case ENOENT:
    case ENOTDIR:
      return ErrorCode::PathNotFound;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
      return ErrorCode::DiskFull;
    default:
      return ErrorCode::PathFileAccess;
  }
}

RunError FileError(int error, const std::string& path, FileAction action, Stage stage) {
  ErrorLocation at;
  at.stage = stage;
  at.file = path;
  at.fileAction = action;
  const ErrorCode code = FileErrorCode(error);
  // 没有权限, 路径未找到 and 磁盘已满 are the reason of their most common errno.
  const bool said = (code == ErrorCode::PermissionDenied && error == EACCES) ||
                    (code == ErrorCode::PathNotFound && error == ENOENT) ||
                    (code == ErrorCode::DiskFull && error == ENOSPC);
  if (!said) at.systemError = error;
  return RunError(code, at);
}

std::string SystemErrorText(int error) {
  struct Wording {
    int error;
    const char* text;
  };
  // Only the errno values this system defines are listed.
  static const Wording kWordings[] = {
      {ENOENT, "文件不存在"},
      {ENOTDIR, "路径中有一段不是文件夹"},
      {EISDIR, "是一个文件夹"},
      {EACCES, "没有访问权限"},
      {EPERM, "不允许此操作"},
      {EROFS, "只读文件系统"},
#ifdef ELOOP
      {ELOOP, "符号链接层数过多"},
#endif
      {ENAMETOOLONG, "文件名太长"},
      {EIO, "输入/输出错误"},
      {ENOSPC, "磁盘已满"},
#ifdef EDQUOT
      {EDQUOT, "超出磁盘配额"},
#endif
      {EFBIG, "文件太大"},
      {EMFILE, "打开的文件太多"},
      {ENFILE, "系统打开的文件太多"},
      {ENOMEM, "内存不够"},
      {EBUSY, "设备或资源忙"},
#ifdef ETXTBSY
      {ETXTBSY, "文件正在被执行"},
#endif
      {EEXIST, "文件已存在"},
      {EINVAL, "无效的参数"},
      {ENXIO, "没有这个设备或地址"},
      {ENODEV, "没有这个设备"},
      {EAGAIN, "资源暂时不可用"},
      {EINTR, "操作被信号中断"},
      {EBADF, "文件描述符无效"},
      {EPIPE, "管道的另一端已关闭"},
      {ESPIPE, "不能在管道或设备上定位"},
      {EXDEV, "不能跨文件系统"},
      {ENOTEMPTY, "文件夹不为空"},
#ifdef ESTALE
      {ESTALE, "网络文件句柄已失效"},
#endif
#ifdef ETIMEDOUT
      {ETIMEDOUT, "操作超时"},
#endif
#ifdef EOVERFLOW
      {EOVERFLOW, "文件太大，无法在此读取"},
#endif
      {EFAULT, "地址错误"},
      {ENOSYS, "系统不支持此功能"},
#ifdef EOPNOTSUPP
      {EOPNOTSUPP, "不支持此操作"},
#endif
      {EDEADLK, "会造成死锁"},
  };
  for (const Wording& wording : kWordings) {
    if (wording.error == error) return wording.text;
  }
  return "系统错误 " + std::to_string(error);
}

namespace {

const char* TermName(Term term) {
  switch (term) {
    case Term::None:
      return "";
    case Term::HydraulicDiameter:
      return "水力直径";
    case Term::SteadyVelocity:
      return "恒定流速";
    case Term::ReachLength:
      return "管段长度";
    case Term::TimeStep:
      return "时间步长";
    case Term::WaveCoefficient:
      return "波速系数 a/g";
    case Term::VelocityFrictionTerm:
      return "流速摩阻项";
    case Term::HeadFrictionTerm:
      return "水头摩阻项";
    case Term::ReachHeadLoss:
      return "管段沿程水头损失";
    case Term::NodeCount:
      return "节点数";
    case Term::StepCount:
      return "时段数";
    case Term::Grids:
      return "水位与流速网格";
    case Term::StepTimes:
      return "时段时间数组";
    case Term::TimeSpan:
      return "坐标宽度";
    case Term::LevelSpan:
      return "坐标高度";
    case Term::SpanOrigin:
      return "坐标原点";
  }
  return "";
}

const char* QuantityName(Quantity quantity) {
  switch (quantity) {
    case Quantity::None:
      return "";
    case Quantity::Time:
      return "时间";
    case Quantity::Head:
      return "水位";
    case Quantity::Velocity:
      return "流速";
    case Quantity::BackwardCharacteristic:
      return "反向特征线水头";
    case Quantity::ForwardCharacteristic:
      return "正向特征线水头";
  }
  return "";
}

const char* FileActionName(FileAction action) {
  switch (action) {
    case FileAction::None:
      return "";
    case FileAction::Open:
      return "打开";
    case FileAction::Create:
      return "创建";
    case FileAction::Read:
      return "读取";
    case FileAction::Write:
      return "写入";
    case FileAction::Close:
      return "关闭";
    case FileAction::Replace:
      return "替换";
    case FileAction::IsFolder:
      return "是文件夹";
    case FileAction::NotAFileName:
      return "不是文件名";
  }
  return "";
}

const char* StageName(Stage stage) {
  switch (stage) {
    case Stage::Program:
      return "";
    case Stage::Reading:
      return "读取";
    case Stage::Coefficients:
      return "计算";
    case Stage::Grid:
      return "建立计算网格";
    case Stage::SteadyState:
      return "恒定流初始状态";
    case Stage::March:
      return "瞬变计算";
    case Stage::ResultFile:
      return "写结果文件";
    case Stage::ResultsTable:
      return "结果查询";
    case Stage::ForebayLevelLine:
      return "前池水位变化线";
    case Stage::Report:
      return "写报告";
    case Stage::Chart:
      return "图表";
    case Stage::EventInput:
      return "";
  }
  return "";
}

// A number as the user would write it ("12", "0.25"), and seconds with three
// decimals ("1.313 s").
std::string Number(double value) { return ShortestText(value); }
std::string Seconds(double seconds) { return Fixed(seconds, 3, NegativeZero::Keep) + " s"; }

// A box in the user's words: its caption as the window shows it.
std::string BoxName(InputId id) { return std::string("“") + Field(id).caption + "”"; }

// "第 12 时段（1.313 s），节点 6，水位"
std::string StepNodeQuantity(const ErrorLocation& at) {
  std::string text;
  if (at.step != 0) {
    text += "第 " + std::to_string(at.step) + " 时段";
    if (at.time) text += "（" + Seconds(*at.time) + "）";
  }
  if (at.node != 0) {
    if (!text.empty()) text += "，";
    text += "节点 " + std::to_string(at.node);
  }
  if (at.quantity != Quantity::None) {
    if (!text.empty()) text += "，";
    text += QuantityName(at.quantity);
  }
  return text;
}

}  // namespace

std::string ErrorLocationText(const ErrorLocation& at) {
  std::string text;
  auto add = [&text](const std::string& part) {
    if (part.empty()) return;
    if (!text.empty()) text += "，";
    text += part;
  };
  switch (at.stage) {
    case Stage::EventInput:
      text = EventLocationText(at);
      break;
    case Stage::Reading:
      text = "读取";
      if (at.input) text += BoxName(*at.input);
      break;
    case Stage::Coefficients: {
      const std::string term = TermName(at.term);
      text = "计算" + term;
      if (at.input && at.zeroDivisor) {
        text += "：" + BoxName(*at.input) + "为 0，" + term + "以它为除数";
      } else if (at.input) {
        text += "（与" + BoxName(*at.input) + "有关）";
      }
      break;
    }
    case Stage::Grid:
      text = StageName(at.stage);
      if (at.term != Term::None) text += std::string("（") + TermName(at.term) + "）";
      if (at.input) {
        text += "：" + BoxName(*at.input);
        if (at.value) text += "为 " + Number(*at.value);
      }
      break;
    default: {
      // A command that writes several outputs names the one that failed.
      text = at.output.empty() ? std::string(StageName(at.stage)) : "写 --" + at.output;
      std::string detail;
      if (at.input && !at.zeroDivisor) detail = BoxName(*at.input);
      if (at.term != Term::None) detail += TermName(at.term);
      const std::string place = StepNodeQuantity(at);
      if (!place.empty()) {
        if (!detail.empty()) detail += "，";
        detail += place;
      }
      if (at.value) {
        detail += "（步数计数 " + Number(*at.value) + "）";
      }
      if (!detail.empty()) {
        text += (text.empty() || at.stage == Stage::March ? "" : "：") + detail;
      }
      break;
    }
  }
  if (at.zeroDivisor && at.stage != Stage::Coefficients && at.input) {
    text += "：" + BoxName(*at.input) + "为 0，计算以它为除数";
  }
  if (!at.file.empty()) {
    std::string file = at.file == "-" ? std::string("标准输出") : "文件" + QuotedFileName(at.file);
    if (at.fileAction != FileAction::None)
      file += std::string("（") + FileActionName(at.fileAction) + "）";
    if (at.systemError != 0) file += "：" + SystemErrorText(at.systemError);
    add(file);
  }
  if (!at.detail.empty() && at.stage != Stage::EventInput)
    add(PrintableText(at.detail, 4 * kEchoCharacters));
  return text;
}

std::string RunErrorText(const RunError& error, ErrorTextLayout layout) {
  const std::string heading = "运行时错误 '" + std::to_string(error.number()) + "':";
  const std::string where = error.where();
  std::string text;
  switch (layout) {
    case ErrorTextLayout::MessageBox:
      text = heading + "\n\n" + std::string(error.description()) + "\n" + where;
      break;
    case ErrorTextLayout::CommandLine:
      text = heading + " " + std::string(error.description()) + "\n";
      if (!where.empty()) text += where + "\n";
      break;
  }
  return text;
}

namespace {
std::string OneLine(ErrorCode code, const ErrorLocation& location) {
  std::string text = "运行时错误 " + std::to_string(static_cast<int>(code)) + "：";
  text += ErrorDescription(code);
  const std::string where = ErrorLocationText(location);
  if (!where.empty()) text += "（" + where + "）";
  return text;
}
}  // namespace

RunError::RunError(ErrorCode code, ErrorLocation location)
    : std::runtime_error(OneLine(code, location)), code_(code), location_(std::move(location)) {}

std::string RunError::where() const { return ErrorLocationText(location_); }

RunError PlacedRunError(const RunError& error, Stage stage, std::string_view output) {
  // A fault that did not know its stage (a file, an array access) takes
  // the stage of the command it ended, and the output it was writing.
  const ErrorLocation& from = error.location();
  const bool unplaced = from.stage == Stage::Program && stage != Stage::Program;
  const bool unnamed = from.stage == stage && from.output.empty() && !output.empty();
  if (!unplaced && !unnamed) return error;
  ErrorLocation located = from;
  located.stage = stage;
  located.output = output;
  return RunError(error.code(), located);
}

RunError CurrentExceptionAsRunError(Stage stage, std::string_view output) {
  ErrorLocation at;
  at.stage = stage;
  at.output = output;
  try {
    throw;
  } catch (const RunError& error) {
    return PlacedRunError(error, stage, output);
  } catch (const std::bad_alloc&) {
    return RunError(ErrorCode::OutOfMemory, at);
  } catch (const std::length_error&) {
    return RunError(ErrorCode::OutOfMemory, at);
  } catch (const std::system_error& error) {
    at.detail = error.what();
    if (error.code().category() == std::generic_category() ||
        error.code().category() == std::system_category()) {
      // The words of the system's errno; a Windows error code keeps its message.
      if (error.code().category() == std::generic_category())
        at.detail = SystemErrorText(error.code().value());
      return RunError(FileErrorCode(error.code().value()), at);
    }
    return RunError(ErrorCode::Overflow, at);
  } catch (const std::exception& error) {
    at.detail = error.what();
    return RunError(ErrorCode::Overflow, at);
  } catch (...) {
    at.detail = "未知异常";
    return RunError(ErrorCode::Overflow, at);
  }
}

}  // namespace kelvane
