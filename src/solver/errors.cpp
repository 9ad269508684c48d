// The error catalogue and the one place that words an error's location.
#include "solver/errors.h"

#include <cerrno>
#include <cmath>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

#include "solver/number_format.h"
#include "solver/event_texts.h"

namespace kelvane {

std::string_view ErrorDescription(ErrorCode code) {
  switch (code) {
#define KELVANE_ERROR(name, number, description) \
  case ErrorCode::name:                          \
    return description;
#include "solver/errors.def"
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
    case EDQUOT:
    case EFBIG:
      return ErrorCode::DiskFull;
    default:
      return ErrorCode::PathFileAccess;
  }
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
    case Term::PlotWidth:
      return "坐标宽度";
    case Term::PlotHeight:
      return "坐标高度";
    case Term::PlotOrigin:
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
    case Stage::Plot:
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
      text = StageName(at.stage);
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
    std::string file =
        at.file == "-" ? std::string("标准输出") : std::string("文件“") + at.file + "”";
    if (at.fileAction != FileAction::None)
      file += std::string("（") + FileActionName(at.fileAction) + "）";
    add(file);
  }
  if (!at.detail.empty() && at.stage != Stage::EventInput) add(at.detail);
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

RunError CurrentExceptionAsRunError(Stage stage) {
  ErrorLocation at;
  at.stage = stage;
  try {
    throw;
  } catch (const RunError& error) {
    // A fault that did not know its stage (a file, an array access) takes
    // the stage of the command it ended.
    if (error.location().stage != Stage::Program || stage == Stage::Program) return error;
    ErrorLocation located = error.location();
    located.stage = stage;
    return RunError(error.code(), located);
  } catch (const std::bad_alloc&) {
    return RunError(ErrorCode::OutOfMemory, at);
  } catch (const std::length_error&) {
    return RunError(ErrorCode::OutOfMemory, at);
  } catch (const std::system_error& error) {
    at.detail = error.what();
    if (error.code().category() == std::generic_category() ||
        error.code().category() == std::system_category()) {
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
