#include "files/write_output.h"

#include <unistd.h>

#include <cerrno>

#include "model/errors.h"

namespace kelvane {

void WriteStandardOutput(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw FileError(errno, "-", FileAction::Write, Stage::Report);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void WriteOutput(const std::string& target, const FileBody& body) {
  if (target == "-") {
    body(WriteStandardOutput);
  } else {
    WriteFileAtomically(target, body);
  }
}

void WriteOutput(const std::string& target, std::string_view text) {
  WriteOutput(target, [&](const ByteWriter& write) { write(text); });
}

}  // namespace kelvane
