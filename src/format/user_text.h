// A user's text as a message echoes it, and the checks of a text's bytes
// that every reader of texts shares: control characters, UTF-8, and the
// encodings a file saved by another editor may be in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// How many characters of a user's text a message echoes, and of a file name.
constexpr int kEchoCharacters = 48;
constexpr int kEchoFileNameCharacters = 512;

// `text` made printable for a message on one line: each control character
// escaped as C writes it (\0, \t, \n, \r, \x1b, \x7f, \u0085 for a C1
// control), each byte that is no part of valid UTF-8 as \xHH; at most `limit`
// characters of `text`, "…" marking a cut.
std::string PrintableText(std::string_view text, int limit = kEchoCharacters);

// The same in the messages' quotation marks: “text”.
std::string QuotedText(std::string_view text, int limit = kEchoCharacters);

// A file's name as a message names it: “name”, printable, cut only when absurd.
std::string QuotedFileName(std::string_view name);

// The length of the valid UTF-8 sequence at the start of `text`, 0 when
// there is none (overlong forms, surrogates and values beyond U+10FFFF are
// invalid).
std::size_t Utf8SequenceLength(std::string_view text);

// What is wrong with a text a box cannot hold, and where: the character
// column (1-based) of the first control character (U+0000..U+001F, U+007F)
// or byte that is no part of valid UTF-8.
struct TextFault {
  enum class Kind { ControlCharacter, NotUtf8 } kind = Kind::ControlCharacter;
  int column = 0;
  std::string character;  // the character or byte, printable ("\n", "\x1b", "\xb5")
};
// The first control character of `text`; invalid UTF-8 only when `utf8`.
std::optional<TextFault> FindTextFault(std::string_view text, bool utf8);

// The encoding a file's bytes seem to be in when they are not UTF-8: UTF-16
// (a byte-order mark, or a NUL beside every other character of ASCII text),
// GBK (not UTF-8, but every byte above 0x7F pairs as GBK does), or none known.
enum class TextEncoding { Utf8, Utf16, Gbk, Unknown };
TextEncoding GuessEncoding(std::string_view bytes);
bool LooksLikeUtf16(std::string_view start);

// "文件似乎是 GBK 编码，请另存为 UTF-8"; empty for Utf8 and Unknown.
std::string EncodingAdvice(TextEncoding encoding);

}  // namespace kelvane
