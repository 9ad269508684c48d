#include "cases/toml_messages.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {
namespace {

// An English phrase of the parser, "{}" standing for any text (a character
// from the file, a key, a count), and its Chinese, "{0}", "{1}", ... standing
// for those texts in order ("{T0}": the text is a kind of value, translated).
struct Phrase {
  std::string_view english, chinese;
};

// Whether `text` is `pattern`, its "{}" matching any text; those texts go to
// `parts`.
bool Match(std::string_view pattern, std::string_view text, std::vector<std::string_view>& parts) {
  parts.clear();
  std::size_t hole = pattern.find("{}");
  if (hole == std::string_view::npos) return pattern == text;
  if (!text.starts_with(pattern.substr(0, hole))) return false;
  text.remove_prefix(hole);
  pattern.remove_prefix(hole + 2);
  for (;;) {
    hole = pattern.find("{}");
    const std::string_view literal = pattern.substr(0, hole);
    if (hole == std::string_view::npos) {
      if (!text.ends_with(literal)) return false;
      parts.push_back(text.substr(0, text.size() - literal.size()));
      return true;
    }
    const std::size_t at = text.find(literal);
    if (literal.empty() || at == std::string_view::npos) return false;
    parts.push_back(text.substr(0, at));
    text.remove_prefix(at + literal.size());
    pattern.remove_prefix(hole + 2);
  }
}

// The kinds of value the parser names ("cannot redefine existing integer").
std::optional<std::string_view> KindName(std::string_view kind) {
  static constexpr Phrase kKinds[] = {
      {"table", "表"},
      {"array", "数组"},
      {"string", "字符串"},
      {"integer", "整数"},
      {"floating-point", "浮点数"},
      {"boolean", "布尔值"},
      {"date", "日期"},
      {"time", "时间"},
      {"date-time", "日期时间"},
      {"none", "值"},
      {"array-of-tables", "表数组"},
  };
  for (const Phrase& name : kKinds) {
    if (name.english == kind) return name.chinese;
  }
  return std::nullopt;
}

// `chinese` with its "{N}" and "{TN}" filled from `parts`; nothing when a
// kind of value is not known.
std::optional<std::string> Fill(std::string_view chinese,
                                const std::vector<std::string_view>& parts) {
  std::string text;
  while (!chinese.empty()) {
    const std::size_t open = chinese.find('{');
    const std::size_t close = chinese.find('}', open);
    if (open == std::string_view::npos || close == std::string_view::npos) break;
    text.append(chinese.substr(0, open));
    std::string_view index = chinese.substr(open + 1, close - open - 1);
    const bool kind = index.starts_with('T');
    if (kind) index.remove_prefix(1);
    const std::string_view part = parts.at(static_cast<std::size_t>(index[0] - '0'));
    if (kind) {
      const std::optional<std::string_view> name = KindName(part);
      if (!name) return std::nullopt;
      text.append(*name);
    } else {
      text.append(part);
    }
    chinese.remove_prefix(close + 1);
  }
  return text.append(chinese);
}

std::optional<std::string> Translate(std::span<const Phrase> phrases, std::string_view english) {
  std::vector<std::string_view> parts;
  for (const Phrase& phrase : phrases) {
    if (Match(phrase.english, english, parts)) return Fill(phrase.chinese, parts);
  }
  return std::nullopt;
}

// What the parser expected ("expected value, saw '\n'"): the phrase before
// ", saw ", as the start of the Chinese sentence.
constexpr Phrase kExpected[] = {
    {"a comment or whitespace", "值之后只能是注释或空白"},
    {"value-terminator", "值之后只能是空白、逗号或行尾"},
    {"value", "缺少值"},
    {"'='", "缺少 '='"},
    {"']'", "缺少 ']'"},
    {"comma or closing ']'", "缺少逗号或 ']'"},
    {"value or closing ']'", "此处应为值或 ']'"},
    {"comma or closing '}'", "缺少逗号或 '}'"},
    {"key or closing '}'", "此处应为键或 '}'"},
    {"key-value pair or closing '}'", "此处应为键值对或 '}'"},
    {"key-value pair", "此处应为键值对"},
    {"keys, tables, whitespace or comments", "此处应为键、表头、空白或注释"},
    {"bare key starting character or string delimiter", "此处应为键名或引号"},
    {"space or tab", "此处应为空格或制表符"},
    {"space, 'T' or 't'", "此处应为空格、'T' 或 't'"},
    {"'\\n' after '\\r'", "'\\r' 之后应为 '\\n'"},
    {"hex digit", "此处应为十六进制数字"},
    {"hexadecimal digit", "此处应为十六进制数字"},
    {"hexadecimal digit or '.'", "此处应为十六进制数字或 '.'"},
    {"hexadecimal digit or exponent", "此处应为十六进制数字或指数"},
    {"decimal digit", "此处应为数字"},
    {"decimal digit or '.'", "此处应为数字或 '.'"},
    {"decimal digit or exponent", "此处应为数字或指数"},
    {"digit", "此处应为数字"},
    {"expected digit or sign", "此处应为数字或正负号"},
    {"exponent digit", "此处应为指数的数字"},
    {"exponent digit or sign", "此处应为指数的数字或正负号"},
    {"exponent decimal digit or sign", "此处应为指数的数字或正负号"},
    {"fractional digits", "此处应为小数部分的数字"},
    {"4-digit year", "此处应为四位数的年份"},
    {"2-digit month", "此处应为两位数的月份"},
    {"2-digit day", "此处应为两位数的日"},
    {"2-digit hour", "此处应为两位数的小时"},
    {"2-digit minute", "此处应为两位数的分钟"},
    {"2-digit second", "此处应为两位数的秒"},
    {"month between 1 and 12 (inclusive)", "月份应为 1 至 12"},
    {"day between 1 and {} (inclusive)", "日应为 1 至 {0}"},
    {"hour between 0 and 23 (inclusive)", "小时应为 0 至 23"},
    {"hour between 0 to 59 (inclusive)", "小时应为 0 至 23"},
    {"minute between 0 and 59 (inclusive)", "分钟应为 0 至 59"},
    {"second between 0 and 59 (inclusive)", "秒应为 0 至 59"},
    {"'x' or 'X'", "此处应为 'x' 或 'X'"},
    {"'{}'", "此处应为 '{0}'"},
};

// A hint after the sentence, for the expectations a hand-edited file meets
// most: a text without quotation marks, a key with a blank in it.
constexpr Phrase kHints[] = {
    {"a comment or whitespace", "（文字请加引号）"},
    {"value-terminator", "（文字请加引号）"},
    {"'='", "（键名含空格时请加引号）"},
};

// What the parser saw instead.
constexpr Phrase kSeen[] = {
    {"EOF", "文件结束"},
    {"comma", "逗号"},
    {"closing '}' (dangling comma)", "'}'（之前的逗号多余）"},
    {"'{}'", "'{0}'"},
};

// The other descriptions.
constexpr Phrase kReasons[] = {
    {"encountered end-of-file", "文件意外结束"},
    {"unexpected control character", "含控制字符"},
    {"control characters other than TAB (U+0009) are explicitly prohibited in comments",
     "注释含控制字符（只可有制表符）"},
    {"unicode surrogates (U+D800 to U+DFFF) are explicitly prohibited in comments",
     "注释含 Unicode 代理码位（U+D800 至 U+DFFF）"},
    {"{}control characters other than TAB{}", "含控制字符，或引号未闭合"},
    {"unescaped unicode surrogates (U+D800 to U+DFFF) are explicitly prohibited",
     "含 Unicode 代理码位（U+D800 至 U+DFFF）"},
    {"unicode surrogates (U+D800 - U+DFFF) are explicitly prohibited",
     "转义的码位是 Unicode 代理码位（U+D800 至 U+DFFF）"},
    {"values greater than U+10FFFF are invalid", "转义的码位大于 U+10FFFF"},
    {"vertical tabs '\\v' and form-feeds '\\f' are not legal line breaks in TOML",
     "竖向制表符与换页符不能作换行"},
    {"line-ending backslashes must be the last non-whitespace character on the line",
     "行尾的反斜杠之后只能有空白"},
    {"unknown escape sequence '{}'", "未知的转义序列 '{0}'"},
    {"escape sequence '{}' is not supported{}", "不支持转义序列 '{0}'"},
    {"underscores may only follow digits", "下划线只能写在数字之后"},
    {"underscores must be followed by digits", "下划线之后应为数字"},
    {"values may not begin with underscores", "值不能以下划线开头"},
    {"leading zeroes are prohibited", "数不能以多余的 0 开头"},
    {"exceeds length limit of {} digits{}", "数字多于 {0} 位"},
    {"fragment exceeeds maximum length of {} characters", "数字多于 {0} 位"},
    {"numeric value too long to identify type - cannot exceed {} characters",
     "数值太长（至多 {0} 个字符）"},
    {"'{}' could not be interpreted as a value", "“{0}”超出数的范围（绝对值应小于 1.8e308）"},
    {"'{}' is not representable in 64 bits", "“{0}”超出数的范围（整数至多 19 位）"},
    {"an unspecified error occurred while trying to interpret '{}' as a value", "“{0}”不能读作数"},
    {"hexadecimal floating-point values are not supported{}", "不支持十六进制的浮点数"},
    {"missing exponent", "缺少指数"},
    {"fractional component exceeds maximum precision of {}", "秒的小数多于 {0} 位"},
    {"exceeded maximum nested value depth of {} ({})", "嵌套多于 {0} 层"},
    {"could not determine value type", "不能识别的值（文字请加引号）"},
    {"multi-line strings are prohibited in {}keys", "键名不能是多行字符串"},
    {"[[array-of-table]] brackets must be contiguous{}", "表数组的 [[ 与 ]] 中间不能有空白"},
    {"tables with blank bare keys are explicitly prohibited", "表名不能为空"},
    {"cannot insert '{}' into existing inline table", "不能向已写完的内联表加入 '{0}'"},
    {"cannot redefine existing {} '{}' as {}", "重复定义 '{1}'（已是{T0}，不能再作{T2}）"},
    {"cannot redefine existing {} as dotted key-value pair", "重复定义：已是{T0}，不能再作点分键"},
    {"cannot redefine existing {} '{}'", "重复定义 '{1}'"},
    {"Encountered invalid utf-8 sequence", "不是有效的 UTF-8 文本"},
    {"Encountered overlong utf-8 sequence", "不是有效的 UTF-8 文本"},
    {"Encountered EOF during incomplete utf-8 code point sequence",
     "文件在一个 UTF-8 字符的中间结束"},
    {"Reading from the underlying stream failed - zero bytes read", "读不出文件的内容"},
};

// Where the parser was ("Error while parsing key-value pair: ...").
constexpr Phrase kScopes[] = {
    {"key-value pair", "键值对"},
    {"table header", "表头"},
    {"literal string", "字符串"},
    {"string", "字符串"},
    {"unicode scalar sequence", "Unicode 转义"},
    {"comment", "注释"},
    {"array", "数组"},
    {"inline table", "内联表"},
    {"key", "键"},
    {"value", "值"},
    {"boolean", "布尔值"},
    {"floating-point", "浮点数"},
    {"hexadecimal floating-point", "十六进制浮点数"},
    {"binary integer", "二进制整数"},
    {"octal integer", "八进制整数"},
    {"decimal integer", "整数"},
    {"hexadecimal integer", "十六进制整数"},
    {"date", "日期"},
    {"time", "时间"},
    {"date-time", "日期时间"},
    {"date-time offset", "时区"},
    {"root table", "文件"},
};

std::optional<std::string> Reason(std::string_view description) {
  std::vector<std::string_view> parts;
  // The leading blank of " expected '0', ..." is the parser's own.
  const std::size_t start = description.find_first_not_of(' ');
  description.remove_prefix(start == std::string_view::npos ? description.size() : start);
  if (Match("expected {}, saw {}", description, parts)) {
    const std::string_view expected = parts[0], seen = parts[1];
    const std::optional<std::string> want = Translate(kExpected, expected);
    const std::optional<std::string> got = Translate(kSeen, seen);
    const bool number = !seen.empty() && seen.find_first_not_of("0123456789") == seen.npos;
    if (want && (got || number)) {
      const std::string hint = Translate(kHints, expected).value_or("");
      return *want + "，却是 " + (got ? *got : std::string(seen)) + hint;
    }
    return std::nullopt;
  }
  return Translate(kReasons, description);
}

}  // namespace

std::string TomlErrorText(std::string_view description) {
  std::string text;
  constexpr std::string_view kWhile = "Error while parsing ";
  if (description.starts_with(kWhile)) {
    const std::size_t colon = description.find(": ");
    if (colon != std::string_view::npos) {
      const std::string_view scope = description.substr(kWhile.size(), colon - kWhile.size());
      if (const std::optional<std::string> name = Translate(kScopes, scope)) text = *name + "：";
      description.remove_prefix(colon + 2);
    }
  }
  return text + Reason(description).value_or("写法有误");
}

}  // namespace kelvane
