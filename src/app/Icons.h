// The pictures the program draws with, as SVG text (assets/icons/*.svg and
// assets/logo.svg, compiled in at build time).
#pragma once

#include <string_view>

namespace orvane {

extern const std::string_view kIconDownloadSvg;  // a downward arrow into a tray
extern const std::string_view kIconPlaySvg;      // a right-pointing triangle
extern const std::string_view kIconLinkSvg;      // two chain links
extern const std::string_view kLogoSvg;          // the logo shown as imgOrvane

}  // namespace orvane
