// Colours of the program's SVG icons against the theme they are drawn on:
// the contrast measure of the web's accessibility guidelines (relative
// luminance, ratio from 1:1 to 21:1) and a plain-text recolouring of the
// SVG, so that on a high-contrast or dark theme the icons can be drawn in
// the theme's own text colour.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct TRgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};

// The icons must stand out from their background at least this much.
inline constexpr double kMinIconContrast = 3.0;

// Relative luminance, 0 (black) to 1 (white), of an sRGB colour.
double RelativeLuminance(TRgb colour);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on
// white.
double ContrastRatio(TRgb a, TRgb b);

// The colours of an SVG's fill and stroke attributes ("#rrggbb" or "#rgb";
// "none" and other forms are not colours here), in document order.
std::vector<TRgb> SvgColours(std::string_view svg);
// The SVG with every such colour replaced by one colour.
std::string SvgInColour(std::string_view svg, TRgb colour);

// Whether icons belong in the theme's text colour rather than their own:
// always on a high-contrast theme, and elsewhere as soon as one colour of
// one icon stands out less than kMinIconContrast from the face it is drawn
// on (a dark theme).
bool IconsNeedTextColour(std::span<const std::string_view> svgs, TRgb face, bool highContrast);

}  // namespace orvane
