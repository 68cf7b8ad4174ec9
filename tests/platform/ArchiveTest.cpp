#include "platform/CArchive.h"
#include "platform/CFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using Bytes = std::vector<unsigned char>;

class ArchiveTest : public ::testing::Test {
protected:
    std::string path() const { return dir.filePath("archive.bin").toStdString(); }

    template<typename Fill> Bytes store(Fill fill)
    {
        CFile file;
        EXPECT_TRUE(file.Open(path().c_str(), CFile::modeCreate | CFile::modeWrite));
        {
            CArchive ar(&file, CArchive::store);
            fill(ar);
            ar.Close();
            EXPECT_FALSE(ar.Failed());
        }
        EXPECT_TRUE(file.Close());
        std::ifstream in(path(), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    void put(const Bytes& bytes)
    {
        std::ofstream(path(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    QTemporaryDir dir;
};

}

TEST_F(ArchiveTest, StringPrefixesGrowAtTheirThresholds)
{
    struct Case {
        int length;
        Bytes prefix;
    };
    const Case cases[] = {
        { 0, { 0x00 } },
        { 254, { 0xFE } },
        { 255, { 0xFF, 0xFF, 0x00 } },
        { 65533, { 0xFF, 0xFD, 0xFF } },
        { 65534, { 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00 } },
        { 70000, { 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00 } },
    };
    for (const Case& c : cases) {
        std::string text(size_t(c.length), 'q');
        if (!text.empty())
            text.back() = '\xE9';
        const Bytes bytes = store([&](CArchive& ar) { ar << CString(text); });
        ASSERT_EQ(bytes.size(), c.prefix.size() + text.size()) << c.length;
        EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), bytes.begin())) << c.length;

        CFile file;
        ASSERT_TRUE(file.Open(path().c_str(), CFile::modeRead));
        CArchive ar(&file, CArchive::load);
        CString read;
        ar >> read;
        EXPECT_FALSE(ar.Failed());
        EXPECT_EQ(read.str(), text);
    }
}

TEST_F(ArchiveTest, IntegersAreLittleEndianAcrossBufferBoundaries)
{
    const std::string filler(4093, 'f');
    const Bytes bytes = store(
        [&](CArchive& ar) { ar << CString(filler) << DWORD(0x11223344) << LONG(-2) << WORD(0xA1B2) << BYTE(0x7F); });
    ASSERT_EQ(bytes.size(), 3 + filler.size() + 4 + 4 + 2 + 1);
    const Bytes tail(bytes.end() - 11, bytes.end());
    EXPECT_EQ(tail, (Bytes { 0x44, 0x33, 0x22, 0x11, 0xFE, 0xFF, 0xFF, 0xFF, 0xB2, 0xA1, 0x7F }));

    CFile file;
    ASSERT_TRUE(file.Open(path().c_str(), CFile::modeRead));
    CArchive ar(&file, CArchive::load);
    CString text;
    DWORD dw = 0;
    LONG l = 0;
    WORD w = 0;
    BYTE b = 0;
    ar >> text >> dw >> l >> w >> b;
    EXPECT_FALSE(ar.Failed());
    EXPECT_EQ(text.str(), filler);
    EXPECT_EQ(dw, 0x11223344u);
    EXPECT_EQ(l, -2);
    EXPECT_EQ(w, 0xA1B2);
    EXPECT_EQ(b, 0x7F);
    EXPECT_EQ(ar.GetPosition(), bytes.size());
}

TEST_F(ArchiveTest, ReadingPastTheEndFailsAndStaysFailed)
{
    put({ 0x01, 0x02, 0x03, 0x04, 0x05, 0x06 });
    CFile file;
    ASSERT_TRUE(file.Open(path().c_str(), CFile::modeRead));
    CArchive ar(&file, CArchive::load);
    DWORD first = 0, second = 7;
    BYTE after = 9;
    ar >> first >> second;
    EXPECT_EQ(first, 0x04030201u);
    EXPECT_TRUE(ar.Failed());
    EXPECT_EQ(ar.GetFailure(), CArchive::Failure::endOfFile);
    EXPECT_EQ(second, 0u);
    EXPECT_EQ(ar.GetPosition(), 4u);
    // Even a byte that is there is not taken once the archive has failed.
    ar >> after;
    EXPECT_EQ(after, 0);
    EXPECT_EQ(ar.GetPosition(), 4u);
}

TEST_F(ArchiveTest, BadStringPrefixesFail)
{
    struct Case {
        Bytes bytes;
        CArchive::Failure failure;
    };
    const Case cases[] = {
        { { 0x05, 'a', 'b' }, CArchive::Failure::endOfFile },
        { { 0xFF, 0x10 }, CArchive::Failure::endOfFile },
        { { 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a' }, CArchive::Failure::endOfFile },
        { { 0xFF, 0xFE, 0xFF, 0x01, 'a', 0x00 }, CArchive::Failure::unsupportedString },
    };
    for (const Case& c : cases) {
        Bytes bytes = { 0x01, 'x' };
        bytes.insert(bytes.end(), c.bytes.begin(), c.bytes.end());
        put(bytes);
        CFile file;
        ASSERT_TRUE(file.Open(path().c_str(), CFile::modeRead));
        CArchive ar(&file, CArchive::load);
        CString first, second("unchanged");
        ar >> first >> second;
        EXPECT_EQ(first, CString("x"));
        EXPECT_EQ(ar.GetFailure(), c.failure);
        EXPECT_TRUE(second.IsEmpty());
        EXPECT_EQ(ar.GetPosition(), 2u) << "the failed string starts at offset 2";
    }
}

TEST_F(ArchiveTest, WriteErrorsFailTheArchive)
{
    put({ 1, 2, 3 });
    CFile file;
    ASSERT_TRUE(file.Open(path().c_str(), CFile::modeRead));
    CArchive ar(&file, CArchive::store);
    ar << DWORD(1);
    EXPECT_FALSE(ar.Failed()) << "still buffered";
    ar.Close();
    EXPECT_TRUE(ar.Failed());
    EXPECT_EQ(ar.GetFailure(), CArchive::Failure::writeError);
}
