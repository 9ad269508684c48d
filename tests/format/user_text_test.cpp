// A user's text as messages echo it, the checks of a text's bytes, and the
// one wording of the system's errors.
#include "format/user_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "model/errors.h"

namespace kelvane {
namespace {

TEST(UserText, EchoedTextsArePrintableAndCut) {
  struct Row {
    std::string text;
    int limit;
    std::string shown;
  };
  const Row rows[] = {
      {std::string("1\0x", 3), 48, "1\\0x"},  // a NUL no longer ends the message
      {"a\tb\r\n", 48, "a\\tb\\r\\n"},
      {"\x1b[31m", 48, "\\x1b[31m"},
      {"\x7f", 48, "\\x7f"},
      {"\xC2\x85", 48, "\\u0085"},              // a C1 control
      {"\xB5m\xFF", 48, "\\xb5m\\xff"},         // bytes of no UTF-8 sequence
      {"\xED\xA0\x80", 48, "\\xed\\xa0\\x80"},  // a surrogate
      {"面积 (m²)", 48, "面积 (m²)"},
      {"前池面积", 2, "前池…"},  // cut by characters, never inside one
      {"\n\n\n", 2, "\\n\\n…"},
      {std::string(50'000'000, 'x'), 48, std::string(48, 'x') + "…"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(PrintableText(row.text, row.limit), row.shown) << row.shown;
  }
  EXPECT_EQ(QuotedText("a\0b"), "“a”");  // a C string ends at its NUL
  EXPECT_EQ(QuotedText(std::string("a\0b", 3)), "“a\\0b”");
}

TEST(UserText, EncodingsOfFilesSavedByOtherEditors) {
  struct Row {
    std::string bytes;
    TextEncoding encoding;
  };
  const Row rows[] = {
      {"forebay-area\n600\n", TextEncoding::Utf8},
      {"面积,600\n", TextEncoding::Utf8},
      {"\xC3\xE6\xBB\xFD,600\n", TextEncoding::Gbk},  // 面积 in GBK
      {"title = \"\xB0\xB8\xC0\xFD\"", TextEncoding::Gbk},
      {std::string("\xFF\xFE"
                   "f\0o\0",
                   6),
       TextEncoding::Utf16},
      {std::string("\xFE\xFF\0f\0o", 6), TextEncoding::Utf16},
      {std::string("f\0o\0r\0e\0", 8), TextEncoding::Utf16},
      {std::string("\0f\0o\0r\0e", 8), TextEncoding::Utf16},
      {std::string(64, '\0'), TextEncoding::Utf8},  // NULs alone: no text at all
      {"\x80\x80", TextEncoding::Unknown},
      {"a\xFF", TextEncoding::Unknown},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(GuessEncoding(row.bytes), row.encoding) << PrintableText(row.bytes);
  }
  EXPECT_EQ(EncodingAdvice(TextEncoding::Gbk), "文件似乎是 GBK 编码，请另存为 UTF-8");
  EXPECT_EQ(EncodingAdvice(TextEncoding::Utf16), "文件似乎是 UTF-16 编码，请另存为 UTF-8");
}

TEST(SystemErrors, OneChineseWordingAndTheNumberOtherwise) {
  EXPECT_EQ(SystemErrorText(ENOENT), "文件不存在");
  EXPECT_EQ(SystemErrorText(EISDIR), "是一个文件夹");
  EXPECT_EQ(SystemErrorText(ELOOP), "符号链接层数过多");
  EXPECT_EQ(SystemErrorText(EIO), "输入/输出错误");
  EXPECT_EQ(SystemErrorText(99999), "系统错误 99999");
  // A write fault names the reason where the catalogue's description does
  // not already say it.
  struct Row {
    int error;
    ErrorCode code;
    std::string where;
  };
  const Row rows[] = {
      {ENOENT, ErrorCode::PathNotFound, "文件“a/b.txt”（创建）"},
      {EACCES, ErrorCode::PermissionDenied, "文件“a/b.txt”（创建）"},
      {EROFS, ErrorCode::PermissionDenied, "文件“a/b.txt”（创建）：只读文件系统"},
      {ELOOP, ErrorCode::PathFileAccess, "文件“a/b.txt”（创建）：符号链接层数过多"},
      {EIO, ErrorCode::PathFileAccess, "文件“a/b.txt”（创建）：输入/输出错误"},
  };
  for (const Row& row : rows) {
    const RunError error = FileError(row.error, "a/b.txt", FileAction::Create);
    EXPECT_EQ(error.code(), row.code) << row.error;
    EXPECT_EQ(error.where(), row.where);
  }
}

}  // namespace
}  // namespace kelvane
