#include "platform/CFile.h"
#include "platform/Module.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {
std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
}

TEST(CFile, GetStatusFindsFilesAndFoldersIgnoringCase)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    fs::create_directory(root + "/Images");
    std::ofstream(root + "/Images/Up.bmp") << "12345";

    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus((root + "\\images\\UP.BMP").c_str(), status));
    EXPECT_EQ(status.m_size, 5);
    EXPECT_TRUE(CFile::GetStatus((root + "\\IMAGES").c_str(), status));
    EXPECT_FALSE(CFile::GetStatus((root + "\\images\\down.bmp").c_str(), status));
    EXPECT_FALSE(CFile::GetStatus("", status));
}

TEST(CFile, AWrittenFileReplacesItsTargetOnlyWhenClosed)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("target.orv").toStdString();
    std::ofstream(path) << "old";

    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        EXPECT_TRUE(file.Write("new", 3));
        EXPECT_EQ(contents(path), "old");
    } // destroyed unclosed: discarded
    EXPECT_EQ(contents(path), "old");

    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    EXPECT_TRUE(file.Write("new!", 4));
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(contents(path), "new!");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path().toStdString()), fs::directory_iterator()), 1);

    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead));
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 4u);
    EXPECT_FALSE(file.Write("x", 1));
    EXPECT_TRUE(file.Close());
}

TEST(Module, GetModuleFileNameGivesTheExecutable)
{
    const std::string exe = fs::read_symlink("/proc/self/exe").string();
    char buffer[4096];
    ASSERT_EQ(GetModuleFileName(nullptr, buffer, sizeof buffer), DWORD(exe.size()));
    EXPECT_EQ(std::string(buffer), exe);

    // Too small: cut and terminated, the buffer size returned.
    char small[8];
    EXPECT_EQ(GetModuleFileName(nullptr, small, sizeof small), DWORD(sizeof small));
    EXPECT_EQ(std::string(small), exe.substr(0, 7));
}
