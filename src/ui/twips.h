// Layout units: positions and sizes are given in twips, 15 to a pixel.
#pragma once

namespace kelvane::ui {

constexpr int kTwipsPerPixel = 15;
constexpr int Px(int twips) { return twips / kTwipsPerPixel; }

}  // namespace kelvane::ui
