#include "files/odf_package.h"

#include <vector>

#include "files/zip_archive.h"

namespace kelvane {

std::string TextPropertiesInEveryScript(std::string_view xml) {
  constexpr std::string_view kElement = "<style:text-properties";
  constexpr std::string_view kProperties[] = {"font-size", "font-weight", "font-style"};
  std::string out;
  out.reserve(xml.size() + xml.size() / 8);
  std::size_t from = 0;
  for (std::size_t at = xml.find(kElement); at != std::string_view::npos;
       at = xml.find(kElement, at + kElement.size())) {
    std::size_t end = xml.find('>', at);
    if (end == std::string_view::npos) break;
    if (xml[end - 1] == '/') --end;
    const std::string_view tag = xml.substr(at, end - at);
    std::string added;
    for (const std::string_view name : kProperties) {
      const std::string given = " fo:" + std::string(name) + "=\"";
      const std::size_t value = tag.find(given);
      if (value == std::string_view::npos) continue;
      const std::size_t start = value + given.size();
      const std::size_t close = tag.find('"', start);
      if (close == std::string_view::npos) continue;
      const std::string_view text = tag.substr(start, close - start);
      for (const std::string_view script : {"-asian", "-complex"}) {
        const std::string twin = " style:" + std::string(name) + std::string(script) + "=\"";
        if (tag.find(twin) == std::string_view::npos) added += twin + std::string(text) + '"';
      }
    }
    out.append(xml.substr(from, end - from));
    out += added;
    from = end;
  }
  out.append(xml.substr(from));
  return out;
}

std::string OdtWithPropertiesInEveryScript(std::string_view odt) {
  std::vector<ZipEntry> entries = ReadZip(odt);
  for (ZipEntry& entry : entries) {
    if (entry.name == "content.xml" || entry.name == "styles.xml")
      entry.data = TextPropertiesInEveryScript(entry.data);
  }
  return WriteStoredZip(entries);
}

}  // namespace kelvane
