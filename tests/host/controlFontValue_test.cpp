#include "skin/controls/shared/controlFontValue.h"

#include <gtest/gtest.h>

namespace {

TEST(PushButtonFont, AFontWithoutFamilyOrSizeIsDrawnInSongTi12) {
  ControlFont font = withPushButtonDefaults(ControlFont{"", 0, 1});
  EXPECT_EQ(font.family, "宋体");
  EXPECT_EQ(font.size, 12);
  EXPECT_EQ(font.style, 1) << "the style is kept";
}

TEST(PushButtonFont, EachDefaultStandsInOnlyForWhatIsMissing) {
  ControlFont sized = withPushButtonDefaults(ControlFont{"", 15, 0});
  EXPECT_EQ(sized.family, "宋体");
  EXPECT_EQ(sized.size, 15);
  ControlFont named = withPushButtonDefaults(ControlFont{"Tahoma", 0, 0});
  EXPECT_EQ(named.family, "Tahoma");
  EXPECT_EQ(named.size, 12);
  ControlFont complete = withPushButtonDefaults(ControlFont{"Tahoma", 9, 2});
  EXPECT_EQ(complete.family, "Tahoma");
  EXPECT_EQ(complete.size, 9);
  EXPECT_EQ(complete.style, 2);
}

}  // namespace
