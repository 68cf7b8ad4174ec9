// Archives: little-endian integers and length-prefixed strings, and how reading and writing fail.
#include "platform/CArchive.h"
#include "platform/CFile.h"
#include "support/Bytes.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>

namespace {

class ArchiveTest : public ::testing::Test {
protected:
    template<typename Fill> QByteArray store(Fill fill)
    {
        CFile out;
        EXPECT_TRUE(out.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        {
            CArchive ar(&out, CArchive::store);
            fill(ar);
        } // closed by its destructor
        EXPECT_TRUE(out.Close());
        return ReadAll(QString::fromStdString(path));
    }
    // An archive loading `bytes`, or the file as it stands when none are given.
    CArchive& load(const QByteArray& bytes = {})
    {
        EXPECT_TRUE(bytes.isEmpty() || WriteAll(QString::fromStdString(path), bytes));
        ar.reset();
        file = std::make_unique<CFile>();
        EXPECT_TRUE(file->Open(path.c_str(), CFile::modeRead));
        return *(ar = std::make_unique<CArchive>(file.get(), CArchive::load));
    }
    QTemporaryDir dir;
    const std::string path = dir.filePath("archive.bin").toStdString();
    std::unique_ptr<CFile> file;
    std::unique_ptr<CArchive> ar;
};

TEST_F(ArchiveTest, StringPrefixesGrowAtTheirThresholdsAndIntegersAreLittleEndian)
{
    const std::pair<int, QByteArray> cases[] = {
        { 0, QByteArray(1, '\0') }, { 254, "\xFE" }, { 255, QByteArray("\xFF\xFF\x00", 3) }, { 65533, "\xFF\xFD\xFF" },
        { 65534, QByteArray("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7) },
        { 70000, QByteArray("\xFF\xFF\xFF\x70\x11\x01\x00", 7) },
        { 4093, "\xFF\xFD\x0F" }, // the integers after it cross the 4096-byte buffer's end
    };
    const QByteArray integers("\x44\x33\x22\x11\xFE\xFF\xFF\xFF\xB2\xA1\x7F", 11);
    for (const auto& [length, prefix] : cases) {
        std::string text(size_t(length), 'q');
        if (!text.empty())
            text.back() = '\xE9';
        const QByteArray bytes = store([&](CArchive& out) {
            out << CString(text) << DWORD(0x11223344) << LONG(-2) << WORD(0xA1B2) << BYTE(0x7F);
        });
        EXPECT_EQ(bytes, prefix + QByteArray::fromStdString(text) + integers) << length;
        CString read;
        DWORD dw = 0;
        LONG l = 0;
        WORD w = 0;
        BYTE b = 0;
        load() >> read >> dw >> l >> w >> b;
        EXPECT_FALSE(ar->Failed());
        EXPECT_EQ(read.str(), text);
        EXPECT_TRUE(dw == 0x11223344u && l == -2 && w == 0xA1B2 && b == 0x7F);
        EXPECT_EQ(ar->GetPosition(), quint64(bytes.size()));
    }
}

TEST_F(ArchiveTest, BadStringPrefixesAndReadsPastTheEndFailAndStayFailed)
{
    const std::pair<QByteArray, CArchive::Failure> cases[] = {
        { "\x09\x61\x62", CArchive::Failure::endOfFile },
        { "\xFF\x10", CArchive::Failure::endOfFile },
        { "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x61", CArchive::Failure::endOfFile },
        { QByteArray("\xFF\xFE\xFF\x01\x61\x00", 6), CArchive::Failure::unsupportedString },
    };
    for (const auto& [bytes, failure] : cases) {
        CString first, second("unchanged");
        DWORD after = 7;
        // Once failed, even bytes that are there are not taken.
        load("\x01x" + bytes + "\x01\x02\x03\x04") >> first >> second >> after;
        EXPECT_EQ(first, CString("x"));
        EXPECT_EQ(ar->GetFailure(), failure);
        EXPECT_TRUE(second.IsEmpty() && after == 0);
        EXPECT_EQ(ar->GetPosition(), 2u) << "the failed string starts at offset 2";
    }
    // A DWORD cut short fails where it starts.
    DWORD first = 0, second = 7;
    load("\x01\x02\x03\x04\x05\x06") >> first >> second;
    EXPECT_TRUE(first == 0x04030201u && second == 0 && ar->GetPosition() == 4u);
    EXPECT_EQ(ar->GetFailure(), CArchive::Failure::endOfFile);
    // Writing into a file opened for reading fails once the buffer goes out.
    CArchive out(file.get(), CArchive::store);
    out << DWORD(1);
    EXPECT_FALSE(out.Failed()) << "still buffered";
    out.Close();
    EXPECT_EQ(out.GetFailure(), CArchive::Failure::writeError);
}

// Only regular files are read, at once and never beyond what a desktop can hold; a save never replaces a FIFO with a
// file, and through a link it replaces the link's target and keeps the link.
TEST_F(ArchiveTest, OnlyRegularFilesAreReadOrReplaced)
{
    const QString fifo = dir.filePath("fifo"), big = dir.filePath("big"), link = dir.filePath("link");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(WriteAll(big, "x"));
    for (const std::int64_t size : { CFile::kMaxReadBytes, CFile::kMaxReadBytes + 1, std::int64_t(4) << 30 }) {
        ASSERT_TRUE(QFile::resize(big, size));
        CFile in;
        EXPECT_EQ(in.Open(big.toUtf8(), CFile::modeRead), size <= CFile::kMaxReadBytes ? TRUE : FALSE) << size;
    }
    for (const QString& special : { fifo, dir.path(), QString("/dev/zero") }) {
        CFile in;
        EXPECT_FALSE(in.Open(special.toUtf8(), CFile::modeRead)) << special.toStdString();
    }
    CFile out;
    EXPECT_FALSE(out.Open(fifo.toUtf8(), CFile::modeCreate | CFile::modeWrite));
    struct stat found;
    ASSERT_EQ(lstat(QFile::encodeName(fifo).constData(), &found), 0);
    EXPECT_TRUE(S_ISFIFO(found.st_mode));
    ASSERT_TRUE(WriteAll(QString::fromStdString(path), "old"));
    ASSERT_TRUE(QFile::link(QString::fromStdString(path), link));
    ASSERT_TRUE(out.Open(link.toUtf8(), CFile::modeCreate | CFile::modeWrite));
    EXPECT_TRUE(out.Write("new", 3) && out.Close());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), QString::fromStdString(path));
    EXPECT_EQ(ReadAll(QString::fromStdString(path)), "new");
}

} // namespace
