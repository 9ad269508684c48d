// The reports' PDF files as a reader gets them, through poppler's tools:
// their text, where a word stands on which page, and a page's pixels.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace kelvane::test {

// Without blanks and line breaks: the PDF wraps lines where it likes.
inline std::string Squeezed(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != ' ' && c != '\n' && c != '\r' && c != '\f' && c != '\t') out += c;
  }
  return out;
}

// `pdftotext` of the file: "-layout" keeps a table's row on one line,
// "-bbox" gives each word with its box.
inline ProcessResult PdfText(const std::filesystem::path& pdf, const std::string& mode = "") {
  std::vector<std::string> words = {"/usr/bin/pdftotext", "-enc", "UTF-8"};
  if (!mode.empty()) words.push_back(mode);
  words.push_back(pdf.string());
  words.push_back("-");
  return RunProcess(words);
}

// Where a word of `pdftotext -bbox` stands: its page (from 1; 0 when not
// found) and its top, pt.
struct PdfWordAt {
  int page = 0;
  double top = 0;
};
inline PdfWordAt FindPdfWord(const std::string& bbox, const std::string& word) {
  const std::size_t hit = bbox.find(">" + word + "</word>");
  if (hit == std::string::npos) return {};
  PdfWordAt at;
  for (std::size_t p = bbox.find("<page "); p < hit; p = bbox.find("<page ", p + 1)) ++at.page;
  const std::size_t y = bbox.rfind("yMin=\"", hit);
  at.top = std::stod(bbox.substr(y + 6));
  return at;
}

// The words of `pdftotext -bbox` whose right edge lies beyond `x` (pt): a
// line the layout did not wrap runs off the page's text area.
inline std::vector<std::string> PdfWordsRightOf(const std::string& bbox, double x) {
  std::vector<std::string> words;
  for (std::size_t at = bbox.find("xMax=\""); at != std::string::npos;
       at = bbox.find("xMax=\"", at + 1)) {
    if (std::stod(bbox.substr(at + 6)) <= x) continue;
    const std::size_t open = bbox.find('>', at), close = bbox.find("</word>", at);
    if (open != std::string::npos && close != std::string::npos && open < close)
      words.push_back(bbox.substr(open + 1, close - open - 1));
  }
  return words;
}

// The first word of `pdftotext -bbox` (not the document's title) that starts
// with `start`: its text and its left and right edges, pt; empty text when
// there is none.
struct PdfWordBox {
  std::string text;
  double left = -1, right = -1;
};
inline PdfWordBox FindPdfWordStarting(const std::string& bbox, const std::string& start) {
  const std::size_t hit = bbox.find("\">" + start);
  if (hit == std::string::npos) return {};
  const std::size_t begin = hit + 2;
  const std::size_t end = bbox.find("</word>", begin);
  const std::size_t left = bbox.rfind("xMin=\"", hit);
  const std::size_t right = bbox.rfind("xMax=\"", hit);
  if (end == std::string::npos || left == std::string::npos || right == std::string::npos) {
    return {};
  }
  return {bbox.substr(begin, end - begin), std::stod(bbox.substr(left + 6)),
          std::stod(bbox.substr(right + 6))};
}

// One page rendered by pdftoppm (PPM, RGB).
struct PageImage {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  // A pixel of a line's colour rather than black, grey or white.
  bool Coloured(int x, int y) const {
    const unsigned char* p = &rgb[3 * (std::size_t(y) * std::size_t(width) + std::size_t(x))];
    return std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) >= 80;
  }
};
inline PageImage RenderPdfPage(const std::filesystem::path& pdf, int page, int dpi,
                               const std::filesystem::path& folder) {
  const std::filesystem::path stem = folder / ("page-" + std::to_string(page));
  PageImage image;
  const std::string number = std::to_string(page);
  if (RunProcess({"/usr/bin/pdftoppm", "-r", std::to_string(dpi), "-f", number, "-l", number,
                  "-singlefile", pdf.string(), stem.string()})
          .status != 0) {
    return image;
  }
  std::ifstream in(stem.string() + ".ppm", std::ios::binary);
  std::string magic;
  int maximum = 0;
  in >> magic >> image.width >> image.height >> maximum;
  in.get();
  image.rgb.assign(std::istreambuf_iterator<char>(in), {});
  if (magic != "P6" || image.rgb.size() != 3 * std::size_t(image.width) * image.height) {
    return {};
  }
  return image;
}

}  // namespace kelvane::test
