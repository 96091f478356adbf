// The hex file's text format, its tolerant reading, and what the download
// refuses to take from it.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "core/image/HexFile.h"
#include "support/DocFixtures.h"

using namespace docfixtures;
namespace fs = std::filesystem;

namespace {

TEST(HexFile, RoundTripOfAnyImage)
{
    testsupport::TempDir dir;
    const std::string path = (dir / "hex.txt").string();
    for (std::size_t size : {1u, 255u, 256u, 5000u}) {
        Bytes image;
        for (std::size_t i = 0; i < size; ++i)
            image.push_back(static_cast<std::uint8_t>((i * 131 + size) & 0xFF));
        ASSERT_TRUE(WriteHexFile(path, image).ok());
        EXPECT_EQ(testsupport::ReadFile(path).size(), 3 * size);
        EXPECT_EQ(ReadHexFile(path).value(), image);
    }
    ASSERT_TRUE(WriteHexFile(path, H("01 00 03 ff")).ok());
    EXPECT_EQ(testsupport::ReadFile(path), "01 00 03 ff ");
}

TEST(HexFile, ReadingRules)
{
    const struct {
        std::string text;
        const char* bytes;
    } cases[] = {
        {"01 0A fF ", "01 0a ff"},  // upper case accepted
        {"010203", "01 02 03"},     // pairs written together
        {"01 02 3", "01 02"},       // lone last character ignored
        {"01 02\r\n03 ", "01 02"},  // a line end ends the parse
        {"01 zz 03", "01"},         // a bad pair ends the parse
        {"  ", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseHexText(c.text), H(c.bytes)) << c.text;

    // The file is read up to a 0xFF character. A file the download cannot
    // use (missing, a folder, empty, no digits) is "你选择了下载空文件".
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "hex.txt", std::string("01 02 ") + '\xFF' + "03 ");
    EXPECT_EQ(ReadHexFile((dir / "hex.txt").string()).value(), H("01 02"));
    testsupport::WriteFile(dir / "empty.txt", "");
    testsupport::WriteFile(dir / "random.bin", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    fs::create_directory(dir / "folder");
    for (const char* name : {"none.txt", "folder", "empty.txt", "random.bin"}) {
        const Result<Bytes> read = ReadHexFile((dir / name).string());
        ASSERT_FALSE(read.ok()) << name;
        EXPECT_EQ(read.error(), Refuse(Code::HexFileEmpty, "你选择了下载空文件")) << name;
    }
}

TEST(HexFile, FailedReplaceLeavesNoTemporaryFileBehind)
{
    testsupport::TempDir dir;
    const auto target = dir / "hex.txt";
    fs::create_directories(target / "inside");  // rename over it fails
    const Status r = WriteHexFile(target.string(), H("01"));
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.message().text.find("hex.txt"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_directory(target / "inside"));
}

}  // namespace
