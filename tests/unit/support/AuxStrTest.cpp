#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/support/AuxStr.h"

using namespace palisor::support;

TEST(AuxStr, UpperCaseChangesOnlyAsciiLetters) {
  EXPECT_EQ(AuxUpperCase("c:\\Tools\\app-1.exe"), "C:\\TOOLS\\APP-1.EXE");
  EXPECT_EQ(AuxUpperCase("\xE9\xE0z{`@["), "\xE9\xE0Z{`@[");
  std::string text("ab\0cd", 5);
  AuxUpperCaseInPlace(text);
  EXPECT_EQ(text, std::string("AB\0CD", 5));
}

TEST(AuxStr, TrimRemovesSpacesOnly) {
  struct Case {
    const char* text;
    const char* left;
    const char* right;
    const char* both;
  } cases[] = {
      {"", "", "", ""},
      {"   ", "", "", ""},
      {"  a b  ", "a b  ", "  a b", "a b"},
      {"\ta\t", "\ta\t", "\ta\t", "\ta\t"},
      {"x", "x", "x", "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(AuxTrimLeft(c.text), c.left);
    EXPECT_EQ(AuxTrimRight(c.text), c.right);
    EXPECT_EQ(AuxTrim(c.text), c.both);
  }
}

TEST(AuxStr, AuxStrToIntNeverFails) {
  struct Case {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {" 00123 ", 123},      {"000", 0},       {"", 0},          {"   ", 0},
      {"$1f", 31},           {"$1F", 31},      {"$1G", 0},       {"$", 0},
      {"0$ff", 255},         {"-5", -5},       {"+7", 7},        {"007", 7},
      {"-", 0},              {"12a", 0},       {"$FFFFFFFF", -1}, {"$123456789", 0x23456789},
      {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}, {"2147483648", 0}, {"99999999999999999999", 0},
      {"1 2", 0},            {"\t5", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(AuxStrToInt(c.text), c.value);
  }
}

TEST(AuxStr, TryStrToIntAcceptsOnlyWholeIntegers) {
  struct Case {
    const char* text;
    bool ok;
    std::int32_t value;
  } cases[] = {
      {"0", true, 0},          {"1", true, 1},           {"-1", true, -1},     {"+1", true, 1},
      {" 7", true, 7},         {"-5", true, -5},         {"$10", true, 16},    {"0x1f", true, 31},
      {"-$10", true, -16},     {"$FFFFFFFF", true, -1},  {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"", false, 0},          {" ", false, 0},          {"abc", false, 0},    {"7 ", false, 0},
      {"1.5", false, 0},       {"--1", false, 0},        {"+-1", false, 0},    {"-", false, 0},
      {"$", false, 0},         {"0x", false, 0},         {"$1G", false, 0},    {"2147483648", false, 0},
      {"-2147483649", false, 0}, {"$100000000", false, 0}, {"99999999999999999999", false, 0},
      {"\t7", false, 0},      {"\n7", false, 0},       {"\r\n7", false, 0}, {"\v7", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::int32_t value = 12345;
    EXPECT_EQ(TryStrToInt(c.text, value), c.ok);
    EXPECT_EQ(value, c.ok ? c.value : 12345) << "a failed conversion leaves the value alone";
  }
}

TEST(AuxStr, InvalidIntegerMessage) {
  EXPECT_EQ(InvalidIntegerMessage("abc"), "'abc' is not a valid integer value");
}

TEST(AuxStr, FileNameAndDirectoryParts) {
  struct Case {
    const char* path;
    const char* name;
    const char* directory;
  } cases[] = {
      {"C:\\TOOLS\\APP.EXE", "APP.EXE", "C:\\TOOLS\\"},
      {"C:APP.EXE", "APP.EXE", "C:"},
      {"APP.EXE", "APP.EXE", ""},
      {"C:\\TOOLS\\", "", "C:\\TOOLS\\"},
      {"", "", ""},
      {"\\\\SERVER\\SHARE\\X.EXE", "X.EXE", "\\\\SERVER\\SHARE\\"},
      {"C:/TOOLS/APP.EXE", "/TOOLS/APP.EXE", "C:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileNamePart(c.path), c.name);
    EXPECT_EQ(DirectoryPart(c.path), c.directory);
  }
}
