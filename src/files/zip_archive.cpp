#include "files/zip_archive.h"

#include <array>
#include <cstdint>
#include <stdexcept>

namespace kelvane {
namespace {

[[noreturn]] void Broken(const char* what) {
  throw std::runtime_error(std::string("zip: ") + what);
}

// ------------------------------------------------------------ inflate

// The stream's bits, least significant first.
class BitReader {
 public:
  explicit BitReader(std::string_view bytes) : bytes_(bytes) {}
  unsigned Bits(int need) {
    std::uint64_t value = buffer_;
    while (count_ < need) {
      if (at_ >= bytes_.size()) Broken("deflate stream ends early");
      value |= std::uint64_t(static_cast<unsigned char>(bytes_[at_++])) << count_;
      count_ += 8;
    }
    buffer_ = value >> need;
    count_ -= need;
    return unsigned(value & ((std::uint64_t(1) << need) - 1));
  }
  // A stored block starts at the next byte.
  void ToByte() {
    buffer_ = 0;
    count_ = 0;
  }
  unsigned char Byte() {
    if (at_ >= bytes_.size()) Broken("deflate stream ends early");
    return static_cast<unsigned char>(bytes_[at_++]);
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
  std::uint64_t buffer_ = 0;
  int count_ = 0;
};

constexpr int kLongestCode = 15;

// A canonical Huffman code: how many codes of each length, and the symbols
// in code order.
struct Huffman {
  std::array<int, kLongestCode + 1> count{};
  std::vector<int> symbol;
};

Huffman Construct(std::span<const int> lengths) {
  Huffman h;
  for (const int length : lengths) ++h.count[std::size_t(length)];
  std::array<int, kLongestCode + 2> offset{};
  for (int len = 1; len <= kLongestCode; ++len) offset[len + 1] = offset[len] + h.count[len];
  h.symbol.assign(lengths.size(), 0);
  for (std::size_t s = 0; s < lengths.size(); ++s) {
    if (lengths[s] != 0) h.symbol[std::size_t(offset[lengths[s]]++)] = int(s);
  }
  return h;
}

// One symbol: the code read bit by bit, compared with the first code of
// each length.
int Decode(BitReader& in, const Huffman& h) {
  int code = 0, first = 0, index = 0;
  for (int len = 1; len <= kLongestCode; ++len) {
    code |= int(in.Bits(1));
    const int count = h.count[std::size_t(len)];
    if (code - count < first) {
      const int at = index + (code - first);
      return h.symbol[std::size_t(at)];
    }
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  Broken("bad Huffman code");
}

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                             15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                             67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The literals and back references of one compressed block.
void Codes(BitReader& in, std::string& out, const Huffman& lengths, const Huffman& distances) {
  for (;;) {
    const int symbol = Decode(in, lengths);
    if (symbol < 256) {
      out += char(symbol);
      continue;
    }
    if (symbol == 256) return;
    const auto l = std::size_t(symbol - 257);
    if (l >= kLengthBase.size()) Broken("bad length code");
    const int length = kLengthBase[l] + int(in.Bits(kLengthExtra[l]));
    const auto d = std::size_t(Decode(in, distances));
    if (d >= kDistanceBase.size()) Broken("bad distance code");
    const int back = kDistanceBase[d] + int(in.Bits(kDistanceExtra[d]));
    const auto distance = std::size_t(back);
    if (distance > out.size()) Broken("distance before the start");
    // Byte by byte: a reference may overlap what it writes.
    for (int k = 0; k < length; ++k) out += out[out.size() - distance];
  }
}

void FixedBlock(BitReader& in, std::string& out) {
  std::array<int, 288> lengths{};
  for (std::size_t s = 0; s < lengths.size(); ++s)
    lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  std::array<int, 30> distances{};
  distances.fill(5);
  Codes(in, out, Construct(lengths), Construct(distances));
}

void DynamicBlock(BitReader& in, std::string& out) {
  const int literals = int(in.Bits(5)) + 257;
  const int distances = int(in.Bits(5)) + 1;
  const int codes = int(in.Bits(4)) + 4;
  constexpr std::array<int, 19> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};
  std::array<int, 19> codeLengths{};
  for (int k = 0; k < codes; ++k)
    codeLengths[std::size_t(kOrder[std::size_t(k)])] = int(in.Bits(3));
  const Huffman lengthCode = Construct(codeLengths);
  std::vector<int> lengths;
  const int total = literals + distances;
  lengths.reserve(std::size_t(total));
  while (int(lengths.size()) < literals + distances) {
    const int symbol = Decode(in, lengthCode);
    if (symbol < 16) {
      lengths.push_back(symbol);
      continue;
    }
    int repeat = 0, value = 0;
    if (symbol == 16) {
      if (lengths.empty()) Broken("repeat with no length before it");
      value = lengths.back();
      repeat = 3 + int(in.Bits(2));
    } else {
      repeat = symbol == 17 ? 3 + int(in.Bits(3)) : 11 + int(in.Bits(7));
    }
    if (int(lengths.size()) + repeat > literals + distances) Broken("too many lengths");
    lengths.insert(lengths.end(), std::size_t(repeat), value);
  }
  const std::span<const int> all(lengths);
  Codes(in, out, Construct(all.first(std::size_t(literals))),
        Construct(all.subspan(std::size_t(literals))));
}

void StoredBlock(BitReader& in, std::string& out) {
  in.ToByte();
  const unsigned length = in.Byte() | unsigned(in.Byte()) << 8;
  const unsigned check = in.Byte() | unsigned(in.Byte()) << 8;
  if ((length ^ 0xffffu) != check) Broken("stored block's length");
  for (unsigned k = 0; k < length; ++k) out += char(in.Byte());
}

// ------------------------------------------------------------ the archive

std::uint32_t Crc32(std::string_view data) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xedb88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xffffffffu;
  for (const char ch : data)
    crc = table[(crc ^ static_cast<unsigned char>(ch)) & 0xff] ^ (crc >> 8);
  return crc ^ 0xffffffffu;
}

std::uint32_t Little(std::string_view bytes, std::size_t at, int size) {
  if (at + std::size_t(size) > bytes.size()) Broken("archive ends early");
  std::uint32_t value = 0;
  for (int k = size - 1; k >= 0; --k)
    value = value << 8 | static_cast<unsigned char>(bytes[at + std::size_t(k)]);
  return value;
}

void PutLittle(std::string& out, std::uint32_t value, int size) {
  for (int k = 0; k < size; ++k) out += char((value >> (8 * k)) & 0xff);
}

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kCentralHeader = 0x02014b50;
constexpr std::uint32_t kDirectoryEnd = 0x06054b50;
constexpr std::uint32_t kDosDate = (1 << 5) | 1;  // 1980-01-01

}  // namespace

std::string Inflate(std::string_view deflated) {
  BitReader in(deflated);
  std::string out;
  bool last = false;
  while (!last) {
    last = in.Bits(1) != 0;
    switch (in.Bits(2)) {
      case 0:
        StoredBlock(in, out);
        break;
      case 1:
        FixedBlock(in, out);
        break;
      case 2:
        DynamicBlock(in, out);
        break;
      default:
        Broken("bad block type");
    }
  }
  return out;
}

std::vector<ZipEntry> ReadZip(std::string_view bytes) {
  // The end of the central directory: its last signature.
  constexpr std::size_t kEndSize = 22;
  if (bytes.size() < kEndSize) Broken("too short");
  std::size_t end = bytes.size() - kEndSize + 1;
  do {
    --end;
  } while (end > 0 && Little(bytes, end, 4) != kDirectoryEnd);
  if (Little(bytes, end, 4) != kDirectoryEnd) Broken("no central directory");
  const std::uint32_t count = Little(bytes, end + 10, 2);
  std::size_t at = Little(bytes, end + 16, 4);
  std::vector<ZipEntry> entries;
  entries.reserve(count);
  for (std::uint32_t k = 0; k < count; ++k) {
    if (Little(bytes, at, 4) != kCentralHeader) Broken("bad central header");
    const std::uint32_t method = Little(bytes, at + 10, 2);
    const std::uint32_t crc = Little(bytes, at + 16, 4);
    const std::uint32_t packed = Little(bytes, at + 20, 4);
    const std::uint32_t nameLength = Little(bytes, at + 28, 2);
    const std::uint32_t extra = Little(bytes, at + 30, 2);
    const std::uint32_t comment = Little(bytes, at + 32, 2);
    const std::uint32_t local = Little(bytes, at + 42, 4);
    ZipEntry& entry = entries.emplace_back();
    if (at + 46 + nameLength > bytes.size()) Broken("archive ends early");
    entry.name = std::string(bytes.substr(at + 46, nameLength));
    at += 46 + nameLength + extra + comment;
    if (Little(bytes, local, 4) != kLocalHeader) Broken("bad local header");
    const std::size_t data =
        local + 30 + Little(bytes, local + 26, 2) + Little(bytes, local + 28, 2);
    if (data + packed > bytes.size()) Broken("archive ends early");
    const std::string_view raw = bytes.substr(data, packed);
    if (method == 0) {
      entry.data = std::string(raw);
    } else if (method == 8) {
      entry.data = Inflate(raw);
    } else {
      Broken("unknown compression");
    }
    if (Crc32(entry.data) != crc) Broken("CRC differs");
  }
  return entries;
}

std::string WriteStoredZip(std::span<const ZipEntry> entries) {
  std::string out, directory;
  for (const ZipEntry& entry : entries) {
    const std::uint32_t crc = Crc32(entry.data);
    const auto size = std::uint32_t(entry.data.size());
    const auto offset = std::uint32_t(out.size());
    // The fields the local and the central header share, from the version
    // needed to the name's length.
    std::string common;
    PutLittle(common, 10, 2);  // version needed: stored entries
    PutLittle(common, 0, 2);   // flags
    PutLittle(common, 0, 2);   // stored
    PutLittle(common, 0, 2);   // time
    PutLittle(common, kDosDate, 2);
    PutLittle(common, crc, 4);
    PutLittle(common, size, 4);
    PutLittle(common, size, 4);
    PutLittle(common, std::uint32_t(entry.name.size()), 2);
    PutLittle(out, kLocalHeader, 4);
    out += common;
    PutLittle(out, 0, 2);  // extra
    out += entry.name;
    out += entry.data;
    PutLittle(directory, kCentralHeader, 4);
    PutLittle(directory, 20, 2);  // made by
    directory += common;
    PutLittle(directory, 0, 2);  // extra
    PutLittle(directory, 0, 2);  // comment
    PutLittle(directory, 0, 2);  // disk
    PutLittle(directory, 0, 2);  // internal attributes
    PutLittle(directory, 0, 4);  // external attributes
    PutLittle(directory, offset, 4);
    directory += entry.name;
  }
  const auto start = std::uint32_t(out.size());
  out += directory;
  PutLittle(out, kDirectoryEnd, 4);
  PutLittle(out, 0, 2);
  PutLittle(out, 0, 2);
  PutLittle(out, std::uint32_t(entries.size()), 2);
  PutLittle(out, std::uint32_t(entries.size()), 2);
  PutLittle(out, std::uint32_t(directory.size()), 4);
  PutLittle(out, start, 4);
  PutLittle(out, 0, 2);
  return out;
}

}  // namespace kelvane
