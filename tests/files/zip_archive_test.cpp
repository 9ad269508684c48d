// The zip archive the editable copy of the book is repackaged through: deflate
// streams of each block kind inflated, an archive written and read back, the
// faults of a broken one, and the East Asian twins of the text properties.
#include "files/zip_archive.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "files/odf_package.h"

namespace kelvane {
namespace {

using namespace std::string_literals;

std::string Squares(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::to_string(i * i);
  return text;
}

// Streams as zlib writes them raw (window bits −15), one of each block kind.
TEST(Inflate, EveryBlockKind) {
  struct Row {
    const char* what;
    std::string deflated;
    std::string text;
  };
  const std::string squares = Squares(20) + Squares(20) + Squares(20);
  const Row rows[] = {
      {"dynamic Huffman, back references",
       "\xb5\xca\xc1\x11\xc0\x40\x0c\x02\xb1\x96\xbc\x18\x33\x47\xff\x8d\xa5\x8a\xe8\xad\xc1\x25"
       "\xba\x8d\x1b\x3f\x98\x41\x60\x93\xd2\x48\xa7\x8b\x5e\x57\xde\x30\x3f\xee\x0f"s,
       squares},
      {"fixed Huffman, UTF-8 text",
       "\x7b\xda\xd9\xfb\x6c\xe3\x82\x67\x1b\xb6\x3c\xd9\xdb\xab\xf0\x14\x17\x07\x00"s,
       "前池水位 前池水位 前池水位"},
      {"stored", "\x01\x02\x00\xfd\xff\x61\x62"s, "ab"},
  };
  for (const Row& row : rows) EXPECT_EQ(Inflate(row.deflated), row.text) << row.what;
}

TEST(Zip, WrittenEntriesReadBackInOrder) {
  const std::vector<ZipEntry> entries = {{"mimetype", "application/vnd.oasis.opendocument.text"},
                                         {"content.xml", "<a>前池</a>"},
                                         {"Pictures/Picture1", std::string("\x89PNG\0\1", 6)},
                                         {"empty", ""}};
  const std::string zip = WriteStoredZip(entries);
  const std::vector<ZipEntry> read = ReadZip(zip);
  ASSERT_EQ(read.size(), entries.size());
  for (std::size_t k = 0; k < read.size(); ++k) {
    EXPECT_EQ(read[k].name, entries[k].name);
    EXPECT_EQ(read[k].data, entries[k].data) << entries[k].name;
  }
  // The mimetype first and stored, as a package needs it.
  EXPECT_EQ(zip.substr(30, 8), "mimetype");
  EXPECT_EQ(zip.substr(38, 39), entries[0].data);
  EXPECT_EQ(WriteStoredZip(entries), zip);
}

TEST(Zip, BrokenBytesAreRefused) {
  const std::string zip = WriteStoredZip(std::vector<ZipEntry>{{"a.txt", "hello"}});
  std::string flipped = zip;
  flipped[35] = 'j';  // a byte of the entry's data: its CRC differs
  struct Row {
    const char* what;
    std::string bytes;
  };
  const Row rows[] = {{"empty", ""},
                      {"no archive", std::string(40, 'x')},
                      {"cut short", zip.substr(0, zip.size() - 30)},
                      {"data changed", flipped}};
  for (const Row& row : rows) EXPECT_THROW(ReadZip(row.bytes), std::runtime_error) << row.what;
  EXPECT_THROW(Inflate("\x07"s), std::runtime_error);              // block type 3
  EXPECT_THROW(Inflate("\x01\x05\x00\xfa"s), std::runtime_error);  // ends early
}

// A size, weight or slant given for Western text alone gains its East Asian
// and complex twins; one the element already has for a script is kept.
TEST(OdfPackage, TextPropertiesInEveryScript) {
  struct Row {
    std::string xml;
    std::string made;
  };
  const Row rows[] = {
      {R"(<style:text-properties fo:font-weight="bold" fo:font-size="22pt"/>)",
       R"(<style:text-properties fo:font-weight="bold" fo:font-size="22pt")"
       R"( style:font-size-asian="22pt" style:font-size-complex="22pt")"
       R"( style:font-weight-asian="bold" style:font-weight-complex="bold"/>)"},
      {R"(<p><style:text-properties fo:font-style="italic"></style:text-properties></p>)",
       R"(<p><style:text-properties fo:font-style="italic" style:font-style-asian="italic")"
       R"( style:font-style-complex="italic"></style:text-properties></p>)"},
      {R"(<style:text-properties fo:font-size="9pt" style:font-size-asian="10pt"/>)",
       R"(<style:text-properties fo:font-size="9pt" style:font-size-asian="10pt")"
       R"( style:font-size-complex="9pt"/>)"},
      {R"(<style:text-properties fo:font-family="Sans"/>)",
       R"(<style:text-properties fo:font-family="Sans"/>)"},
  };
  for (const Row& row : rows) EXPECT_EQ(TextPropertiesInEveryScript(row.xml), row.made);
  const std::vector<ZipEntry> odt = {{"mimetype", "application/vnd.oasis.opendocument.text"},
                                     {"content.xml", rows[0].xml}};
  const std::vector<ZipEntry> made = ReadZip(OdtWithPropertiesInEveryScript(WriteStoredZip(odt)));
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0].data, odt[0].data);
  EXPECT_EQ(made[1].data, rows[0].made);
}

}  // namespace
}  // namespace kelvane
