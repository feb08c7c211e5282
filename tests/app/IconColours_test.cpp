// The contrast measure and the recolouring of the icons' SVG text.
#include "app/IconColours.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/Icons.h"

namespace orvane {
namespace {

constexpr TRgb kBlack{0, 0, 0};
constexpr TRgb kWhite{255, 255, 255};

TEST(IconColoursTest, ContrastRatioFollowsTheGuidelinesFormula) {
  // Reference values of the accessibility guidelines' formula.
  struct Case {
    TRgb a;
    TRgb b;
    double ratio;
  };
  for (const Case& c : {Case{kBlack, kWhite, 21.0}, Case{kWhite, kBlack, 21.0}, Case{kWhite, kWhite, 1.0},
                        Case{{0x77, 0x77, 0x77}, kWhite, 4.48}, Case{{0x1b, 0x6a, 0x2a}, kWhite, 6.68},
                        Case{{0x37, 0x47, 0x4f}, {0x2e, 0x2e, 0x2e}, 1.41}}) {
    EXPECT_NEAR(ContrastRatio(c.a, c.b), c.ratio, 0.01);
  }
}

TEST(IconColoursTest, RecolouringReplacesFillAndStrokeColoursOnly) {
  const std::string svg =
      R"svg(<svg><path fill="none" stroke="#37474f" stroke-width="3"/>)svg"
      R"svg(<rect data-fill="#123456" fill="#ABC" stroke="url(#g)"/><g stroke="#1565C0"/></svg>)svg";
  EXPECT_THAT(SvgColours(svg),
              testing::ElementsAre(TRgb{0x37, 0x47, 0x4f}, TRgb{0xaa, 0xbb, 0xcc}, TRgb{0x15, 0x65, 0xc0}));
  EXPECT_EQ(
      SvgInColour(svg, TRgb{0xf3, 0xf3, 0xf1}),
      R"svg(<svg><path fill="none" stroke="#f3f3f1" stroke-width="3"/>)svg"
      R"svg(<rect data-fill="#123456" fill="#f3f3f1" stroke="url(#g)"/><g stroke="#f3f3f1"/></svg>)svg");

  // Every colour the program's icons are drawn with is one of these.
  for (const std::string_view icon : {kIconPlaySvg, kIconDownloadSvg, kIconLinkSvg}) {
    EXPECT_FALSE(SvgColours(icon).empty());
    EXPECT_THAT(SvgColours(SvgInColour(icon, kWhite)), testing::Each(kWhite));
  }
}

TEST(IconColoursTest, TextColourOnHighContrastAndWhereAColourFades) {
  const std::string_view icons[] = {kIconPlaySvg, kIconDownloadSvg, kIconLinkSvg};
  struct Case {
    const char* theme;
    TRgb face;
    bool highContrast;
    bool textColour;
  };
  for (const Case& c : {Case{"light", {0xf1, 0xf0, 0xee}, false, false},
                        Case{"light high contrast", {0xf8, 0xf7, 0xf6}, true, true},
                        Case{"dark high contrast", {0x2e, 0x2e, 0x2e}, true, true},
                        Case{"dark", {0x33, 0x33, 0x33}, false, true}}) {
    EXPECT_EQ(IconsNeedTextColour(icons, c.face, c.highContrast), c.textColour) << c.theme;
  }
}

}  // namespace
}  // namespace orvane
