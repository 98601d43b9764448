#include "locator/list_input.h"

#include <gtest/gtest.h>

namespace {

struct ItemCase {
  const wchar_t* line;
  const wchar_t* item;
  friend void PrintTo(const ItemCase& c, std::ostream* out) {
    *out << testing::PrintToString(std::wstring(c.line));
  }
};

class FirstItemTest : public testing::TestWithParam<ItemCase> {};

TEST_P(FirstItemTest, ReadsTheFirstListItem) {
  EXPECT_EQ(locator::FirstItem(GetParam().line), GetParam().item);
}

INSTANTIATE_TEST_SUITE_P(
    ListInput, FirstItemTest,
    testing::Values(
        ItemCase{L"CDROM=E:\\", L"CDROM=E:\\"},
        ItemCase{L"CDROM=E:\\A,B\\", L"CDROM=E:\\A"},
        ItemCase{L",CDROM=E:\\", L""},
        ItemCase{L",", L""},
        ItemCase{L"", L""},
        ItemCase{L"  \tCDROM=E:\\My Disc\\ \t", L"CDROM=E:\\My Disc\\"},
        ItemCase{L"\"CDROM=E:\\A,B\\\",rest", L"CDROM=E:\\A,B\\"},
        ItemCase{L"  \" CDROM=E:\\ \"", L" CDROM=E:\\ "},
        ItemCase{L"\"CDROM=E:\\A,B", L"CDROM=E:\\A,B"},
        ItemCase{L"CDROM=E:\\\rCDROM=F:\\", L"CDROM=E:\\"},
        ItemCase{L"CDROM=E:\\\nCDROM=F:\\", L"CDROM=E:\\"},
        ItemCase{L"CDROM=\"E:\\\"", L"CDROM=\"E:\\\""}));

}  // namespace
