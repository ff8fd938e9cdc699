// ConvertToBig5 finding the conversion library by itself. This program is
// built into <layout>/Varnel/ with the library copied to <layout>/Librarys/,
// the run-time layout, and a library that converts nothing in
// <layout>/Varnel/Librarys/, the wrong place.

#include "i18n/big5.h"

#include <gtest/gtest.h>

namespace {

TEST(ConversionLibraryLocation, IsFoundBelowTheParentOfTheProgramFolder) {
    EXPECT_EQ(varnel::ConvertToBig5("关闭退出"), "關閉退出");
    EXPECT_EQ(varnel::ConvertToBig5("复制内容"), "複製內容");
}

} // namespace
