// The one place that decides how a file is written, on every system: to a
// temporary file in the same folder, flushed to the disk, and renamed over the
// chosen name only once it is complete. A fault leaves any existing file of
// that name as it was and no temporary file behind; a power cut leaves the
// old file or the new one.
//
// A chosen name that exists and is no regular file (a device such as
// /dev/full or NUL, a named pipe) cannot be replaced by renaming without
// destroying it, so it is opened and written in place; its own write errors
// then report (a full device gives 61). A name for a descriptor the process
// holds (/dev/stdout) is written through that descriptor, so a file behind it
// is neither replaced nor truncated. Where the folder refuses a new file or
// the rename (a folder the user may write files in but not create them, a
// file another program holds open), an existing file is rewritten in place
// instead. The calls of the system beneath are in file_primitives.h.
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "files/file_primitives.h"
#include "files/file_target.h"
#include "files/file_writer.h"
#include "model/errors.h"

namespace kelvane {
namespace {

using namespace files;

[[noreturn]] void ThrowFileError(int error, const std::string& path, FileAction action) {
  throw FileError(error, path, action);
}

// Collects small pieces into large writes. A large piece goes out as it is,
// with what was collected before it, in one call and without a copy; the
// buffer grows only as far as small pieces need it.
class BufferedFile {
 public:
  BufferedFile(NativeFile file, const std::string& path) : file_(file), path_(path) {}
  void Append(std::string_view bytes) {
    if (bytes.size() >= kLargePiece) {
      WriteAll(file_, buffer_, bytes, path_);
      buffer_.clear();
      return;
    }
    if (buffer_.size() + bytes.size() > kCapacity) Flush();
    buffer_.append(bytes);
  }
  void Flush() {
    WriteAll(file_, buffer_, {}, path_);
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kCapacity = 1 << 18;
  static constexpr std::size_t kLargePiece = 1 << 12;
  NativeFile file_;
  const std::string& path_;
  std::string buffer_;
};

void RunBody(NativeFile file, const std::string& path, const FileBody& body) {
  BufferedFile buffered(file, path);
  try {
    body([&buffered](std::string_view bytes) { buffered.Append(bytes); });
  } catch (const KeepPartial&) {
    buffered.Flush();
    throw;
  }
  buffered.Flush();
}

// Writes a device or pipe in place.
void WriteInPlace(const Existing& existing, const std::string& path, const FileBody& body) {
  const NativeFile file = OpenInPlace(existing, path);
  try {
    RunBody(file, path, body);
  } catch (...) {
    CloseQuietly(file);
    throw;
  }
  Close(file, path);
}

// Rewrites the file open as `file` with the `size` bytes that `fill` writes
// from its start, then cuts it to that size; owner, mode and hard links stay.
// Closes `file`.
template <class Fill>
void Rewrite(NativeFile file, const std::string& path, std::int64_t size, const Fill& fill) {
  try {
    Reserve(file, size, path);
    fill();
    EndRewrite(file, size, path);
  } catch (...) {
    CloseQuietly(file);
    throw;
  }
  Close(file, path);
}

// The folder refused a new file (`refusal`): the whole text is gathered
// first, so a failing body leaves the file untouched, then written in place.
void RewriteFromBody(const std::string& target, const std::string& path, int refusal,
                     const FileBody& body) {
  const NativeFile file = OpenForRewrite(target);
  if (file == kNoFile) ThrowFileError(refusal, path, FileAction::Create);
  std::string text;
  try {
    body([&text](std::string_view bytes) { text.append(bytes); });
  } catch (...) {
    CloseQuietly(file);
    throw;
  }
  Rewrite(file, path, static_cast<std::int64_t>(text.size()),
          [&] { WriteAll(file, text, {}, path); });
}

// The folder refused the rename (`refusal`) of the complete temporary file:
// its bytes are copied over the existing file in place.
void CopyInPlace(const Temporary& from, const std::string& target, const std::string& path,
                 int refusal) {
  const std::int64_t size = TemporarySize(from, path);
  const NativeFile file = OpenForRewrite(target);
  if (file == kNoFile) ThrowFileError(refusal, path, FileAction::Replace);
  Rewrite(file, path, size, [&] {
    ReadTemporary(from, path, [&](std::string_view piece) { WriteAll(file, piece, {}, path); });
  });
}

}  // namespace

void WriteFileAtomically(const std::string& path, const FileBody& body) {
  OutputTarget resolved;
  if (!ResolveOutputTarget(path, resolved)) ThrowFileError(errno, path, FileAction::Open);
  if (resolved.descriptor >= 0)
    return RunBody(OpenDescriptor(resolved.descriptor, path), path, body);
  const std::string& target = resolved.path;
  const Existing existing = Inspect(target, path);
  if (existing.kind == Existing::Kind::InPlace) return WriteInPlace(existing, path, body);
  const bool exists = existing.kind == Existing::Kind::File;

  const std::string folder = FolderOf(target);
  RemoveLeftovers(folder);
  Temporary temporary;
  if (const int error = OpenTemporary(folder, temporary); error != 0) {
    if (exists && Refused(error)) return RewriteFromBody(target, path, error, body);
    ThrowFileError(error, path, FileAction::Create);
  }

  std::optional<KeepPartial> partial;
  try {
    if (exists) TakeMarks(temporary, existing);
    try {
      RunBody(temporary.file, path, body);
    } catch (KeepPartial& stop) {
      stop.kept = target + ".partial";
      partial = std::move(stop);
    }
    // The data reaches the disk before the name does.
    int error = Complete(temporary, path);
    FileAction action = FileAction::Create;
    if (error == 0) {
      error = Rename(temporary, partial ? partial->kept : target);
      action = FileAction::Replace;
    }
    if (partial && error != 0) ThrowFileError(error, partial->kept, action);
    if (error != 0) {
      if (!exists || !Refused(error)) ThrowFileError(error, path, action);
      CopyInPlace(temporary, target, path, error);
      Discard(temporary);
      return;
    }
  } catch (...) {
    Discard(temporary);
    throw;
  }
  Settle(temporary, partial ? partial->kept : path);
  if (partial) throw *partial;
}

}  // namespace kelvane
