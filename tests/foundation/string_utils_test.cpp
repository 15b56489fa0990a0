#include "foundation/string_utils.h"

#include <gtest/gtest.h>

namespace {

TEST(Format, FormatsNumbersAndTexts) {
    EXPECT_EQ(Format("%d-%s", 7, "ab"), "7-ab");
    EXPECT_EQ(Format("%s|%s", std::string("x"), std::string()), "x|");
    EXPECT_EQ(FormatW(L"%d:%ls", 3, std::wstring(L"w")), L"3:w");
}

TEST(Format, EmptyOrRejectedFormatGivesEmptyText) {
    EXPECT_EQ(Format(""), "");
    EXPECT_EQ(Format(nullptr), "");
    EXPECT_EQ(FormatW(L""), L"");
}

TEST(Format, LongOutputIsComplete) {
    const std::string big(5000, 'q');
    EXPECT_EQ(Format("<%s>", big).size(), 5002u);
    EXPECT_EQ(FormatW(L"%ls", std::wstring(70000, L'z')).size(), 70000u);
}

}  // namespace
