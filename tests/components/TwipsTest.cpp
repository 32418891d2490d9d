// Twips to pixels and back, and the stored text of a width.
#include <gtest/gtest.h>

#include "components/Twips.h"

namespace parvox {
namespace {

TEST(Twips, PixelsAndText) {
  EXPECT_EQ(TwipsToPixels(8820, 96), 588);
  EXPECT_EQ(TwipsToPixels(4155, 96), 277);
  EXPECT_EQ(TwipsToPixels(1750, 120), 146);  // 145.83 rounds up
  EXPECT_EQ(TwipsToPixels(15, 144), 2);      // 1.5 rounds up
  EXPECT_DOUBLE_EQ(PixelsToTwips(117, 96), 1755);
  EXPECT_EQ(TwipsText(1755), L"1755");
  EXPECT_EQ(TwipsText(PixelsToTwips(117, 100)), L"1684.8");
  EXPECT_EQ(TwipsText(0), L"0");
}

}  // namespace
}  // namespace parvox
