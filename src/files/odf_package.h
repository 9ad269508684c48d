// An OpenDocument text as Qt's writer leaves it, made to show its character
// sizes and weights in every script. Qt gives a span's size, weight and
// slant for Western text alone (fo:font-size, fo:font-weight,
// fo:font-style); a word processor sets Chinese characters by the East
// Asian properties, so the book's title sizes and bold headings were lost
// there. Each is given for East Asian and complex text as well.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// content.xml with every style:text-properties element carrying the East
// Asian and complex twins of its size, weight and slant (those it lacks).
std::string TextPropertiesInEveryScript(std::string_view contentXml);

// The package with its content.xml so made, written again with every entry
// stored, the mimetype first as it came; throws std::runtime_error when the
// bytes are no zip archive.
std::string OdtWithPropertiesInEveryScript(std::string_view odt);

}  // namespace kelvane
