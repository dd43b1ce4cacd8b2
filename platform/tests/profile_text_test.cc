#include "platform/profile_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace orvel::platform {
namespace {

using namespace std::string_literals;

// A file as a user might have left it: comments, blank lines, an unknown section, odd
// spacing, a line without "=", and a second block of "Main".
const std::string kFile =
    "; settings\r\n"
    "orphan=before any section\r\n"
    "[Main]\r\n"
    "Maximize = No\r\n"
    "  XPos=10  \r\n"
    "; a note about the position\r\n"
    "YPos=20\r\n"
    "just some words\r\n"
    "\r\n"
    "[Other Program]\r\n"
    "Key=\xCE\xF0\xE2\xE5\xEB\xFC\r\n"
    "\r\n"
    "[MAIN]\r\n"
    "Width=300\r\n";

TEST(ProfileTextTest, TextComesBackByteForByte) {
  const std::string cases[] = {
      "",
      kFile,
      "no line end at the end",
      "[Main]\nLF=only\n",
      "[Main]\r\nmixed=1\nends=2\r\n",
      "\r\n\r\n\n",
      "[never closed\r\nkey=value\r\n",
      "bare\rcarriage\rreturns\r",
      "\0\1\2[\xFF]=\0\n"s,
      std::string(1 << 20, 'x') + "=" + std::string(1000, '[') + "\n",
  };
  for (const std::string& text : cases) {
    EXPECT_EQ(ProfileText(text).to_string(), text) << text.substr(0, 60);
  }
}

TEST(ProfileTextTest, RandomBytesNeverUpsetTheReader) {
  std::mt19937 rng(20261211);
  const char alphabet[] = {'[', ']', '=', ';', ' ', '\t', '\r', '\n', 'a', 'A', '\0', '\xCE'};
  for (int round = 0; round < 200; ++round) {
    std::string text;
    size_t length = rng() % 200;
    for (size_t i = 0; i < length; ++i) text += alphabet[rng() % sizeof alphabet];
    ProfileText profile(text);
    ASSERT_EQ(profile.to_string(), text) << "round " << round;
    profile.get("a", "A");
    profile.set("a", "A", "v");
    profile.remove_key("A", "a");
    profile.remove_section("a");
    EXPECT_FALSE(profile.get("a", "A")) << "round " << round;
  }
}

TEST(ProfileTextTest, LookupFoldsAsciiLettersOnly) {
  ProfileText text(kFile);
  EXPECT_EQ(text.get("main", "MAXIMIZE"), "No");
  EXPECT_EQ(text.get("mAiN", "xpos"), "10") << "blanks around key and value are dropped";
  EXPECT_EQ(text.get("Main", "Width"), "300") << "a second block of the section counts";
  EXPECT_EQ(text.get("other program", "key"), "\xCE\xF0\xE2\xE5\xEB\xFC");

  ProfileText cyrillic("[\xC0]\r\n\xE0=lower\r\n");  // А / а in code page 1251
  EXPECT_EQ(cyrillic.get("\xC0", "\xE0"), "lower");
  EXPECT_FALSE(cyrillic.get("\xE0", "\xE0")) << "Cyrillic letters are not folded";
  EXPECT_FALSE(cyrillic.get("\xC0", "\xC0"));
}

TEST(ProfileTextTest, LinesThatAreNotEntriesNeverMatch) {
  ProfileText text(kFile);
  EXPECT_FALSE(text.get("Main", "; a note about the position"));
  EXPECT_FALSE(text.get("Main", "just some words"));
  EXPECT_FALSE(text.get("Main", "orphan")) << "entries before any header belong to no section";
  EXPECT_FALSE(text.get("Main", "Key")) << "entries of another section";

  ProfileText unclosed("[Main\r\nXPos=1\r\n[ViewPSP] trailing\r\nXPos=2\r\n");
  EXPECT_EQ(unclosed.get("Main", "XPos"), "1") << "a header without \"]\" runs to the line end";
  EXPECT_EQ(unclosed.get("ViewPSP", "XPos"), "2");
  EXPECT_EQ(ProfileText("[Main]\r\n;XPos=1\r\n").get("Main", ";XPos"), std::nullopt);
}

TEST(ProfileTextTest, ChangingAValueTouchesOnlyItsLine) {
  ProfileText text(kFile);
  text.set("MAIN", "xpos", "-5");
  text.set("main", "WIDTH", "640");
  std::string expected = kFile;
  expected.replace(expected.find("  XPos=10  "), 11, "  XPos=-5");
  expected.replace(expected.find("Width=300"), 9, "Width=640");
  EXPECT_EQ(text.to_string(), expected);
}

TEST(ProfileTextTest, NewEntriesGoAfterTheLastEntryOfTheFirstBlock) {
  ProfileText text(kFile);
  text.set("Main", "Height", "200");
  text.set("Other Program", "Second", "2");
  std::string expected = kFile;
  expected.insert(expected.find("just some words"), "Height=200\r\n");
  expected.insert(expected.find("\r\n[MAIN]"), "Second=2\r\n");
  EXPECT_EQ(text.to_string(), expected);
}

TEST(ProfileTextTest, NewSectionsGoAtTheEnd) {
  struct Case {
    std::string before, after;
  };
  const Case cases[] = {
      {"", "[__Dont_Touch_Me__]\r\nSectors=0\r\n"},
      {"[Main]\nX=1\n", "[Main]\nX=1\n[__Dont_Touch_Me__]\nSectors=0\n"},
      {"[Main]\r\nX=1", "[Main]\r\nX=1\r\n[__Dont_Touch_Me__]\r\nSectors=0\r\n"},
      {"[__Dont_Touch_Me__]", "[__Dont_Touch_Me__]\r\nSectors=0\r\n"},
  };
  for (const Case& c : cases) {
    ProfileText text(c.before);
    text.set("__Dont_Touch_Me__", "Sectors", "0");
    EXPECT_EQ(text.to_string(), c.after) << c.before;
  }
}

TEST(ProfileTextTest, SetAllWritesInOnePassAndInOrder) {
  ProfileText text("[S]\r\nB=old\r\n; end\r\n");
  text.set_all("s", {{"A", "1"}, {"b", "new"}, {"C", "x"}, {"C", "3"}});
  EXPECT_EQ(text.to_string(), "[S]\r\nB=new\r\nA=1\r\nC=3\r\n; end\r\n");
}

TEST(ProfileTextTest, RemovingKeysAndSections) {
  ProfileText text(kFile);
  EXPECT_TRUE(text.remove_key("main", "XPOS"));
  EXPECT_FALSE(text.remove_key("Main", "XPos"));
  std::string expected = kFile;
  expected.erase(expected.find("  XPos=10  \r\n"), 13);
  EXPECT_EQ(text.to_string(), expected);

  ProfileText dup("[A]\nK=1\n[B]\nK=b\n[a]\nk=2\n");
  EXPECT_TRUE(dup.remove_key("A", "K"));
  EXPECT_EQ(dup.to_string(), "[A]\n[B]\nK=b\n[a]\n") << "every duplicate goes";

  ProfileText sections(kFile);
  EXPECT_TRUE(sections.remove_section("main"));
  EXPECT_EQ(sections.to_string(),
            "; settings\r\norphan=before any section\r\n"
            "[Other Program]\r\nKey=\xCE\xF0\xE2\xE5\xEB\xFC\r\n\r\n");
  EXPECT_FALSE(sections.remove_section("Main"));
}

TEST(ProfileTextTest, WhatCanBeStored) {
  EXPECT_TRUE(ProfileText::is_storable_name("List Format Manager", "browse_x"));
  EXPECT_TRUE(ProfileText::is_storable_name("\xCE\xF0", "\xE2"));
  const std::pair<std::string, std::string> bad_names[] = {
      {"", "k"},   {"s", ""},   {"a]b", "k"}, {"s", "a=b"}, {"s", ";k"},
      {"s", "[k"}, {" s", "k"}, {"s", "k\t"}, {"s\n", "k"}, {"s", "k\r"},
  };
  for (const auto& [section, key] : bad_names) {
    EXPECT_FALSE(ProfileText::is_storable_name(section, key)) << section << "/" << key;
  }
  EXPECT_TRUE(ProfileText::is_storable_value(""));
  EXPECT_TRUE(ProfileText::is_storable_value("a, b ,c=d;e"));
  for (const char* bad : {" x", "x ", "a\nb", "a\rb", "\t"}) {
    EXPECT_FALSE(ProfileText::is_storable_value(bad)) << bad;
  }
}

}  // namespace
}  // namespace orvel::platform
