// Writing a file safely. One of the pieces tied to the operating system:
// file_writer.cpp (POSIX) or file_writer_win32.cpp (Windows).
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace kelvane {

// Appends bytes to whatever is being written; may throw.
using ByteWriter = std::function<void(std::string_view bytes)>;
// Produces a file's bytes through the writer it is given.
using FileBody = std::function<void(const ByteWriter& write)>;

// Thrown by a FileBody that stops before its end and keeps what it wrote:
// the temporary file is completed and renamed to the chosen name with
// ".partial" added (replacing a file of that name), the chosen name is left
// as it was, and the exception goes on with `kept` set to the name used. An
// output written in place (a device, a pipe, a descriptor) keeps its bytes
// where they are; `kept` stays empty.
struct KeepPartial {
  std::string kept;
};

// Writes a file through a temporary file in the same folder that is renamed
// over `path` only once `body` has returned and the file is closed. Any fault
// throws RunError with the file catalogue's number (permission or read-only
// file system 70, missing folder 76, full disk 61, anything else such as a
// folder as the name 75; the location names the file), and leaves an
// existing file of that name untouched and no temporary file behind. An
// existing name that is no regular file (a device such as /dev/full, a pipe)
// is written in place; a symbolic link is followed.
void WriteFileAtomically(const std::string& path, const FileBody& body);

// Whether two output names lead to one file, so that writing the second
// would replace the first: the same existing regular file (by device and
// inode: "a.txt" and "./a.txt", a symbolic or hard link), or the same new
// file (by the resolved path of a name that does not exist yet). Devices and
// pipes, and two descriptors ("/dev/stdout", "/dev/stderr"), are written in
// place one after the other and are never the same here.
bool SameOutputFile(const std::string& first, const std::string& second);

// Opens a file to read its bytes, by its UTF-8 name (also on a system whose
// file names are UTF-16); null with errno set when it cannot be opened.
std::FILE* OpenFileForReading(const std::string& path);

}  // namespace kelvane
