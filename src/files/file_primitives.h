// The few calls of the operating system that the file writer's policy
// (write_policy.cpp: when to write through a temporary file, when in place,
// what a refusal leads to) is built on: one set for POSIX (file_writer.cpp)
// and one for Windows (file_writer_win32.cpp). Names are UTF-8 everywhere;
// `path` is the name the user gave, for the error. A call that "throws"
// throws FileError; an int result is 0 or the errno of the fault.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kelvane::files {

// An open file: a descriptor, or a HANDLE.
using NativeFile = std::intptr_t;
inline constexpr NativeFile kNoFile = -1;

// What stands at the chosen name before it is written.
struct Existing {
  enum class Kind { None, File, InPlace };
  Kind kind = Kind::None;
  std::string inPlace;  // InPlace: the name to open (a device, a pipe)
  // File: what the new file takes over from the old one: owner, group and
  // mode (POSIX), or the attributes (Windows, in `mode`).
  unsigned long owner = 0, group = 0, mode = 0;
};

// The temporary file being written.
struct Temporary {
  NativeFile file = kNoFile;
  std::string folder;  // where it is, with its separator
  std::string name;    // empty while it has none (an unnamed file)
  bool unnamed = false;
};

// The descriptor the process holds for a name such as "/dev/stdout", to be
// written from its position and left open. Throws when it is not open.
NativeFile OpenDescriptor(int descriptor, const std::string& path);

// What is at `target`, the name `path` leads to. Throws for a folder, a file
// that may not be written, a name that cannot be a file's, and any other
// fault but a missing file.
Existing Inspect(const std::string& target, const std::string& path);

// Opens a device or pipe to write it in place. Throws.
NativeFile OpenInPlace(const Existing& existing, const std::string& path);

// Writes `first` then `second` whole. Throws.
void WriteAll(NativeFile file, std::string_view first, std::string_view second,
              const std::string& path);
// Throws when closing reports a fault (a write-back error).
void Close(NativeFile file, const std::string& path);
void CloseQuietly(NativeFile file);

// Whether the folder refused a new name or a rename for lack of rights.
bool Refused(int error);

// The folder of `target` with its separator, where temporary files go.
std::string FolderOf(const std::string& target);
// Removes the temporary files a killed writer left in `folder`.
void RemoveLeftovers(const std::string& folder);

// A new temporary file in `folder`, locked or held against deletion while
// it is written.
int OpenTemporary(const std::string& folder, Temporary& temporary);
// The new file takes the old one's owner and mode, or attributes.
void TakeMarks(const Temporary& temporary, const Existing& existing);
// Brings the complete temporary file to the disk (throws) and gives it its
// name where it had none; on Windows it is closed.
int Complete(Temporary& temporary, const std::string& path);
// Renames the complete temporary file to `name`, replacing a file there.
int Rename(const Temporary& temporary, const std::string& name);
// Closes the renamed file and makes the rename last (`path` names a fault).
void Settle(Temporary& temporary, const std::string& path);
// Closes and removes a temporary file that is not to be kept.
void Discard(Temporary& temporary);

// The temporary file's size, and its bytes in pieces. Throw.
std::int64_t TemporarySize(const Temporary& temporary, const std::string& path);
void ReadTemporary(const Temporary& temporary, const std::string& path,
                   const std::function<void(std::string_view)>& piece);

// Rewriting an existing regular file in place, where the folder refuses new
// names: opened from its start (kNoFile when it cannot be), its space
// reserved, and cut to its new size and flushed once written. Throw.
NativeFile OpenForRewrite(const std::string& target);
void Reserve(NativeFile file, std::int64_t size, const std::string& path);
void EndRewrite(NativeFile file, std::int64_t size, const std::string& path);

}  // namespace kelvane::files
