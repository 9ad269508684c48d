// A zip archive in memory: its entries read back (stored or deflated, as
// the OpenDocument packages a word processor or Qt writes hold them) and
// written again, every entry stored in the order given, so that a package's
// "mimetype" can stand first and uncompressed as the format asks.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

struct ZipEntry {
  std::string name;  // the path inside the archive
  std::string data;  // the entry's bytes, uncompressed
};

// The entries in the order of the archive's central directory. Throws
// std::runtime_error when the bytes are no zip archive, an entry is
// compressed otherwise than by deflate, or its bytes fail their CRC.
std::vector<ZipEntry> ReadZip(std::string_view bytes);

// The archive of `entries`, each stored, dated 1980-01-01 (the same entries
// give the same bytes).
std::string WriteStoredZip(std::span<const ZipEntry> entries);

// The deflate stream's bytes inflated (RFC 1951, no zlib or gzip wrapper);
// throws std::runtime_error on a broken stream.
std::string Inflate(std::string_view deflated);

}  // namespace kelvane
