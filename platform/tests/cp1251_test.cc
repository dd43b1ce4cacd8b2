#include "platform/cp1251.h"

#include <gtest/gtest.h>

#include <string>

namespace orvel::platform {
namespace {

TEST(Cp1251Test, EveryByteSurvivesTheRoundTripThroughUtf8) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, char(b));
    EXPECT_EQ(utf8_to_cp1251(cp1251_to_utf8(one)), one) << "byte " << b;
    EXPECT_EQ(cp1251_from_code_point(cp1251_to_code_point(uint8_t(b))), b) << "byte " << b;
  }
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(char(b));
  EXPECT_EQ(utf8_to_cp1251(cp1251_to_utf8(all)), all);
}

TEST(Cp1251Test, NoTwoBytesShareACharacter) {
  for (int a = 0; a < 256; ++a) {
    for (int b = a + 1; b < 256; ++b) {
      ASSERT_NE(cp1251_to_code_point(uint8_t(a)), cp1251_to_code_point(uint8_t(b)))
          << a << " " << b;
    }
  }
}

TEST(Cp1251Test, KnownCharacters) {
  struct Case {
    int byte;
    char32_t code_point;
  };
  const Case cases[] = {
      {0x00, 0x0000}, {0x41, 0x0041}, {0x7F, 0x007F}, {0x80, 0x0402}, {0x88, 0x20AC},
      {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x0098}, {0x99, 0x2122}, {0xA0, 0x00A0},
      {0xA8, 0x0401}, {0xAB, 0x00AB}, {0xB8, 0x0451}, {0xB9, 0x2116}, {0xBB, 0x00BB},
      {0xC0, 0x0410}, {0xC5, 0x0415}, {0xDF, 0x042F}, {0xE0, 0x0430}, {0xFF, 0x044F},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cp1251_to_code_point(uint8_t(c.byte)), c.code_point) << "byte " << c.byte;
    EXPECT_EQ(cp1251_from_code_point(c.code_point), c.byte) << "byte " << c.byte;
  }
}

TEST(Cp1251Test, CyrillicTextToUtf8AndBack) {
  const std::string cp1251 = "\xCF\xE0\xF1\xEF\xEE\xF0\xF2 \xB9 1";  // "Паспорт № 1"
  const std::string utf8 = "Паспорт № 1";
  EXPECT_EQ(cp1251_to_utf8(cp1251), utf8);
  EXPECT_EQ(utf8_to_cp1251(utf8), cp1251);
  EXPECT_EQ(utf8_to_cp1251("Ёё"), "\xA8\xB8");
}

TEST(Cp1251Test, CharacterWithoutAByteBecomesQuestionMark) {
  EXPECT_EQ(utf8_to_cp1251("a\u4E2Db"), "a?b");        // U+4E2D
  EXPECT_EQ(utf8_to_cp1251("\xC3\xA9"), "?");          // U+00E9 é
  EXPECT_EQ(utf8_to_cp1251("\xF0\x9F\x98\x80"), "?");  // U+1F600
  EXPECT_EQ(utf8_to_cp1251("\xC2\x81"), "?");          // U+0081, not 0x81 (that is Ѓ)
  EXPECT_EQ(cp1251_from_code_point(0x0081), -1);
  EXPECT_EQ(cp1251_from_code_point(0x110000), -1);
}

TEST(Cp1251Test, MalformedUtf8BecomesOneQuestionMarkPerIllFormedPart) {
  struct Case {
    const char* name;
    std::string utf8;
    std::string cp1251;
  };
  const Case cases[] = {
      {"stray continuation", "a\x80z", "a?z"},
      {"two stray continuations", "\x80\xBF", "??"},
      {"lead at the end", "a\xD0", "a?"},
      {"three-byte form cut short", "\xE2\x82z", "?z"},
      {"four-byte form cut short at the end", "\xF0\x9F\x98", "?"},
      {"lead followed by a lead", "\xD0\xD0\x90", "?\xC0"},
      {"lead followed by ASCII", "\xD0z", "?z"},
      {"overlong two-byte NUL", std::string("\xC0\x80", 2), "??"},
      {"overlong three-byte slash", "\xE0\x80\xAF", "???"},
      {"surrogate", "\xED\xA0\x80", "???"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", "????"},
      {"bytes that never appear", "\xF5\xFE\xFF", "???"},
  };
  for (const Case& c : cases) EXPECT_EQ(utf8_to_cp1251(c.utf8), c.cp1251) << c.name;
}

TEST(Cp1251Test, EmptyText) {
  EXPECT_EQ(cp1251_to_utf8(""), "");
  EXPECT_EQ(utf8_to_cp1251(""), "");
}

}  // namespace
}  // namespace orvel::platform
