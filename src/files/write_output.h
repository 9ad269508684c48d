// Writing an output named on a command line: "-" is standard output, any
// other name a file written through a temporary file (file_writer.h).
#pragma once

#include <string>
#include <string_view>

#include "files/file_writer.h"

namespace kelvane {

// Standard output as a byte sink; a failed write (a full disk behind a
// redirection, a closed stream) throws RunError like a file's, with "-" as
// the file.
void WriteStandardOutput(std::string_view bytes);

// The bytes of `body` to standard output for "-", otherwise to the file
// `target`, renamed into place once complete.
void WriteOutput(const std::string& target, const FileBody& body);
void WriteOutput(const std::string& target, std::string_view text);

}  // namespace kelvane
