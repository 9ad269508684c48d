// Reading a file the user named, for every option that reads one: a fault is
// data (the name and the system's errno), never an exception of the
// standard library, and the file is read in pieces so that a device without
// end (/dev/zero) costs no memory.
#pragma once

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

namespace kelvane {

// A file that cannot be opened or read: a folder (EISDIR), a missing file
// (ENOENT), no permission (EACCES), an I/O error (EIO), links that go round
// (ELOOP). what() is "文件 “name”：是一个文件夹" (SystemErrorText).
class FileReadError : public std::runtime_error {
 public:
  FileReadError(std::string path, int systemError);
  const std::string& path() const { return path_; }
  int systemError() const { return systemError_; }
  // The reason alone, in the user's words: "是一个文件夹".
  std::string Reason() const;

 private:
  std::string path_;
  int systemError_;
};

// A file opened to be read from its start, by its UTF-8 name.
class InputFile {
 public:
  // Throws FileReadError when the file cannot be opened.
  explicit InputFile(const std::string& path);
  // Up to `size` bytes into `buffer`; 0 at the end. Throws FileReadError.
  std::size_t Read(char* buffer, std::size_t size);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
};

// The largest file an option reads: a case file, a pump schedule or area
// table (a 50,000-row schedule is about 1 MiB; /dev/zero is no such file).
// What the program writes, it reads back.
constexpr std::size_t kLargestInputFile = std::size_t{16} << 20;

// The first `limit` bytes of a file, and one more when it has more (so that
// the caller can tell a file that is too large). Throws FileReadError.
std::string ReadInputFile(const std::string& path, std::size_t limit);

}  // namespace kelvane
