#include "platform/Path.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class PathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = dir.path().toStdString();
        fs::create_directories(root + "/Program/Desktops");
        fs::create_directories(root + "/Program/res");
        std::ofstream(root + "/Program/Desktops/Default.ORV") << "x";
        std::ofstream(root + "/Program/res/palette.bmp") << "x";
    }

    QTemporaryDir dir;
    std::string root;
};

}

TEST_F(PathTest, ExistingPathsOnlyTurnBackslashes)
{
    EXPECT_EQ(NativePath((root + "\\Program\\res\\palette.bmp").c_str()), root + "/Program/res/palette.bmp");
    EXPECT_EQ(NativePath((root + "/Program/Desktops").c_str()), root + "/Program/Desktops");
    EXPECT_EQ(NativePath(""), "");
    EXPECT_EQ(NativePath(nullptr), "");
}

TEST_F(PathTest, ComponentsAreFoundIgnoringCase)
{
    EXPECT_EQ(NativePath((root + "\\program\\desktops\\default.orv").c_str()), root + "/Program/Desktops/Default.ORV");
    EXPECT_EQ(NativePath((root + "/PROGRAM/RES/Palette.Bmp").c_str()), root + "/Program/res/palette.bmp");
    EXPECT_EQ(NativePath((root + "\\program\\.\\RES\\..\\desktops").c_str()), root + "/Program/./res/../Desktops");
}

TEST_F(PathTest, WhatCannotBeFoundStaysAsWritten)
{
    // A new file in an existing folder: the folder is found, the name kept.
    EXPECT_EQ(NativePath((root + "\\program\\desktops\\New.orv").c_str()), root + "/Program/Desktops/New.orv");
    // Once a component is missing, the rest is not looked up.
    EXPECT_EQ(NativePath((root + "\\program\\Missing\\res\\X").c_str()), root + "/Program/Missing/res/X");
}

TEST_F(PathTest, AnExactMatchWinsOverOneIgnoringCase)
{
    fs::create_directories(root + "/Program/RES");
    std::ofstream(root + "/Program/RES/other.bmp") << "x";
    EXPECT_EQ(NativePath((root + "\\Program\\RES\\other.bmp").c_str()), root + "/Program/RES/other.bmp");
    EXPECT_EQ(NativePath((root + "\\Program\\res\\Palette.bmp").c_str()), root + "/Program/res/palette.bmp");
    // Neither spelling is exact: the first in byte order is taken.
    EXPECT_EQ(NativePath((root + "\\Program\\Res\\X.bmp").c_str()), root + "/Program/RES/X.bmp");
}
