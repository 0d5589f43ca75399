// The scroll text as the build embeds it, checked against the glyph atlas.
#include "content/atlas/FontAtlas.h"
#include "content/text/ScrollText.h"

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include <set>
#include <string>

namespace {

std::string scrollText() { return std::string(reinterpret_cast<const char*>(kScrollTextFile), kScrollTextFileSize); }

TEST(ScrollText, IsOneLineOf433CharactersAndANewline) {
  const std::string file = scrollText();
  ASSERT_EQ(434u, file.size());
  EXPECT_EQ(433u, kScrollTextLength);
  EXPECT_EQ('\n', file.back());
  EXPECT_EQ(433u, file.find_first_of("\r\n\t")) << "line break or tab before the end";
  // The embedding adds a terminating zero after the file's bytes.
  EXPECT_EQ(0, kScrollTextFile[kScrollTextFileSize]);
}

TEST(ScrollText, UsesOnlyTheAtlasGlyphsSpaceAndAsterisk) {
  const std::string text = scrollText().substr(0, 433);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    EXPECT_TRUE(c == ' ' || c == '*' || fontAtlasHasGlyph(c)) << "'" << c << "' at " << i;
  }
}

// Every character the text draws has ink in its atlas cell, and the two
// characters meant to draw nothing have empty cells.
TEST(ScrollText, EveryDrawnCharacterHasInkInTheAtlas) {
  int width = 0, height = 0, channels = 0;
  stbi_uc* atlas = stbi_load_from_memory(kFontAtlasPng, int(kFontAtlasPngSize), &width, &height, &channels, 4);
  ASSERT_NE(nullptr, atlas);
  ASSERT_EQ(kFontAtlasWidth, width);
  auto insidePixels = [&](int code) {
    int count = 0;
    const int cellX = (code % kFontAtlasCellsPerRow) * kFontAtlasCellSize;
    const int cellY = (code / kFontAtlasCellsPerRow) * kFontAtlasCellSize;
    for (int y = 0; y < kFontAtlasCellSize; ++y)
      for (int x = 0; x < kFontAtlasCellSize; ++x)
        count += atlas[(size_t(cellY + y) * width + cellX + x) * 4 + 3] < kFontAtlasEdgeLevel;
    return count;
  };
  const std::string text = scrollText().substr(0, 433);
  for (char c : std::set<char>(text.begin(), text.end())) {
    if (c == ' ' || c == '*') {
      EXPECT_EQ(0, insidePixels(c)) << "'" << c << "'";
    } else {
      EXPECT_GT(insidePixels(c), 10) << "'" << c << "'";
    }
  }
  stbi_image_free(atlas);
}

}  // namespace
