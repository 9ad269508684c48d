#include "files/file_reader.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "files/file_writer.h"
#include "format/user_text.h"
#include "model/errors.h"

namespace kelvane {

FileReadError::FileReadError(std::string path, int systemError)
    : std::runtime_error("文件 " + QuotedFileName(path) + "：" + SystemErrorText(systemError)),
      path_(std::move(path)),
      systemError_(systemError) {}

std::string FileReadError::Reason() const { return SystemErrorText(systemError_); }

InputFile::InputFile(const std::string& path)
    : path_(path), file_(OpenFileForReading(path), std::fclose) {
  if (file_) return;
  int error = errno != 0 ? errno : EIO;
  // A folder is refused as no permission on some systems: it is named as a folder.
  std::error_code ignored;
  if (error == EACCES &&
      std::filesystem::is_directory(std::u8string(path.begin(), path.end()), ignored))
    error = EISDIR;
  throw FileReadError(path, error);
}

std::size_t InputFile::Read(char* buffer, std::size_t size) {
  errno = 0;
  const std::size_t got = std::fread(buffer, 1, size, file_.get());
  // A folder opens, and fails at its first read (EISDIR).
  if (got == 0 && std::ferror(file_.get())) throw FileReadError(path_, errno != 0 ? errno : EIO);
  return got;
}

std::string ReadInputFile(const std::string& path, std::size_t limit) {
  InputFile file(path);
  std::string bytes;
  char buffer[16384];
  while (bytes.size() <= limit) {
    const std::size_t got = file.Read(buffer, sizeof buffer);
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  if (bytes.size() > limit) bytes.resize(limit + 1);
  return bytes;
}

}  // namespace kelvane
