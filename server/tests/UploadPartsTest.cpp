#include "UploadParts.h"

#include <gtest/gtest.h>

namespace {

TEST(UploadParts, KeepsTheFilePartOnlyWithinItsLimits) {
  TUploadParts parts(10);
  EXPECT_TRUE(parts.Part("note"));
  EXPECT_TRUE(parts.Data("ignored"));
  EXPECT_TRUE(parts.Part("file"));
  EXPECT_TRUE(parts.Data("01234"));
  EXPECT_TRUE(parts.Data("56789"));
  EXPECT_EQ(parts.Finish(), TPartsError::None);
  EXPECT_EQ(parts.File(), "0123456789");

  TUploadParts large(10);
  large.Part("file");
  EXPECT_TRUE(large.Data("0123456"));
  EXPECT_FALSE(large.Data("7890"));
  EXPECT_EQ(large.Error(), TPartsError::TooLarge);
  EXPECT_FALSE(large.Part("file"));  // once refused, always refused

  TUploadParts twice(10);
  twice.Part("file");
  EXPECT_FALSE(twice.Part("file"));
  EXPECT_EQ(twice.Error(), TPartsError::TwoFileParts);

  TUploadParts none(10);
  none.Part("files");
  none.Part("FILE");
  EXPECT_EQ(none.Finish(), TPartsError::NoFilePart);

  TUploadParts many(10);
  for (size_t i = 0; i < TUploadParts::kMaxParts; ++i) EXPECT_TRUE(many.Part("x"));
  EXPECT_FALSE(many.Part("file"));
  EXPECT_EQ(many.Error(), TPartsError::TooManyParts);
}

}  // namespace
