#include "CardData.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using CardData::CardImage;

// The only test that touches the module data, so "zero at start" holds even when every test
// runs in one process.
TEST(CardData, ModuleDataStartsZeroAndCopiesByteForByte) {
  EXPECT_EQ(CardData::toImage(CardData::CardInfo), CardImage{});
  EXPECT_EQ(CardData::CardBuf, CardImage{});

  CardImage image{};
  std::iota(image.begin(), image.end(), std::uint8_t{1});
  CardData::CardInfo = CardData::fromImage(image);
  CardData::PackCard();
  EXPECT_EQ(CardData::CardBuf, image);

  CardData::CardBuf[23] = 0xEE;
  CardData::UnpackCard();
  EXPECT_EQ(CardData::CardInfo.FloorCnt, 0xEE);
  EXPECT_EQ(CardData::toImage(CardData::CardInfo), CardData::CardBuf);
}

}  // namespace
