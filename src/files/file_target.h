// Where an output name leads: the file a write reaches once symbolic links
// are followed, or a descriptor the process already holds. Used by the file
// writer and by the check that two outputs are not one file.
#pragma once

#include <string>

namespace kelvane {

struct OutputTarget {
  // The name with the symbolic links of its last part followed, whether or
  // not the file at the end exists (a dangling link leads to its target).
  std::string path;
  // The open descriptor the name stands for ("/dev/stdout", "/dev/stderr",
  // "/dev/fd/N", "/proc/self/fd/N", or a link to one of them), or -1.
  int descriptor = -1;
};

// False with errno set when the links go round (ELOOP) or cannot be read.
bool ResolveOutputTarget(const std::string& name, OutputTarget& target);

}  // namespace kelvane
