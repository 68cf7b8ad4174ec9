#include "platform/CString.h"

#include <gtest/gtest.h>

TEST(CString, ComparesBytesAsUnsigned)
{
    // A byte above 0x7F sorts after a space, as an unsigned comparison must.
    EXPECT_GT(CString("\xE9"), CString(" "));
    EXPECT_LT(CString(""), CString(" "));
    EXPECT_LT(CString("\r\nA"), CString(" "));
    EXPECT_EQ(CString(" ").Compare(" "), 0);
}

TEST(CString, SlicesAndSearches)
{
    CString path("c:\\x\\desktops\\default.orv");
    int p = path.ReverseFind('\\');
    EXPECT_EQ(path.Left(p), CString("c:\\x\\desktops"));
    EXPECT_EQ(path.Mid(p + 1), CString("default.orv"));
    EXPECT_EQ(path.Right(3), CString("orv"));
    EXPECT_EQ(path.Find('z'), -1);
    EXPECT_EQ(CString("abc").Mid(5), CString(""));
    EXPECT_EQ(CString("abc").Left(-1), CString(""));
}

TEST(CString, TrimsAndLowers)
{
    CString s(" \t Name \r\n");
    EXPECT_EQ(CString(s).TrimLeft(), CString("Name \r\n"));
    EXPECT_EQ(CString(s).Trim(), CString("Name"));
    EXPECT_EQ(CString("BuTTon.1\xC9").MakeLower(), CString("button.1\xC9"));
    CString f;
    f.Format("%s.%d", "Button", 12);
    EXPECT_EQ(f, CString("Button.12"));
}
