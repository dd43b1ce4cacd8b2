#include "platform/oem_codepage.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orvel::platform {
namespace {

TEST(OemCodepageTest, CyrillicAndSharedSignsMapToTheirOemCodes) {
  struct Case {
    uint8_t ansi;
    uint8_t oem;
    const char* what;
  };
  const Case cases[] = {
      {'A', 'A', "ASCII"}, {0x00, 0x00, "zero"},        {0xC0, 0x80, "А"},
      {0xCF, 0x8F, "П"},   {0xD0, 0x90, "Р"},           {0xDF, 0x9F, "Я"},
      {0xE0, 0xA0, "а"},   {0xEF, 0xAF, "п"},           {0xF0, 0xE0, "р"},
      {0xFF, 0xEF, "я"},   {0xA8, 0xF0, "Ё"},           {0xB8, 0xF1, "ё"},
      {0xB9, 0xFC, "№"},   {0xB0, 0xF8, "degree sign"}, {0xA0, 0xFF, "no-break space"},
      {0xAA, 0xF2, "Є"},   {0xBF, 0xF5, "ї"},           {0xA1, 0xF6, "Ў"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ansi_to_oem(c.ansi), c.oem) << c.what;
    EXPECT_EQ(oem_to_ansi(c.oem), c.ansi) << c.what;
  }
}

TEST(OemCodepageTest, EveryByteComesBack) {
  bool seen[256] = {};
  for (int b = 0; b < 256; ++b) {
    uint8_t oem = ansi_to_oem(uint8_t(b));
    EXPECT_FALSE(seen[oem]) << "two ANSI codes give OEM " << int(oem);
    seen[oem] = true;
    EXPECT_EQ(oem_to_ansi(oem), b);
  }
  uint8_t text[] = {'I', 0xC2, 0xE0, 0xED, ' ', 0xAB, 0xBB};
  uint8_t copy[sizeof text];
  std::copy(std::begin(text), std::end(text), copy);
  ansi_to_oem(copy, sizeof copy);
  EXPECT_EQ(copy[1], 0x82);  // В
  oem_to_ansi(copy, sizeof copy);
  EXPECT_TRUE(std::equal(std::begin(text), std::end(text), copy));
}

}  // namespace
}  // namespace orvel::platform
