// UTF-8 to GBK through glibc's iconv.
#include "files/gbk.h"

#include <iconv.h>

#include <cerrno>

#include "model/errors.h"

namespace kelvane {

namespace {

// One iconv conversion descriptor, closed when it goes out of scope.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (Valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Handle() const { return handle_; }

 private:
  iconv_t handle_;
};

}  // namespace

std::string ToGbk(std::string_view utf8) {
  const Converter converter("GBK", "UTF-8");
  if (!converter.Valid()) {
    ErrorLocation at;
    at.detail = "GBK 编码转换不可用";
    throw RunError(ErrorCode::PathFileAccess, at);
  }
  std::string gbk;
  gbk.resize(utf8.size() * 2 + 4);  // GBK never takes more bytes than UTF-8 here
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* out = gbk.data();
  std::size_t outLeft = gbk.size();
  while (inLeft > 0) {
    if (iconv(converter.Handle(), &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1))
      break;
    if (errno == EILSEQ || errno == EINVAL) {
      // A character GBK cannot hold (or broken UTF-8): write "?" and skip
      // the rest of that UTF-8 sequence.
      *out++ = '?';
      --outLeft;
      do {
        ++in;
        --inLeft;
      } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xc0) == 0x80);
    } else {
      break;  // E2BIG cannot happen with the room reserved above
    }
  }
  gbk.resize(gbk.size() - outLeft);
  return gbk;
}

}  // namespace kelvane
