// The hex file's text format and its tolerant reading.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
    for (std::size_t size : {0u, 1u, 255u, 256u, 5000u}) {
        Bytes image;
        for (std::size_t i = 0; i < size; ++i)
            image.push_back(static_cast<std::uint8_t>((i * 131 + size) & 0xFF));
        ASSERT_FALSE(WriteHexFile(path, image).has_value());
        EXPECT_EQ(testsupport::ReadFile(path).size(), 3 * size);
        Bytes back;
        ASSERT_TRUE(ReadHexFile(path, back));
        EXPECT_EQ(back, image);
    }
    ASSERT_FALSE(WriteHexFile(path, H("01 00 03 ff")).has_value());
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

    // Reading the file stops at a 0xFF character; a missing file fails.
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "hex.txt", std::string("01 02 ") + '\xFF' + "03 ");
    Bytes image;
    ASSERT_TRUE(ReadHexFile((dir / "hex.txt").string(), image));
    EXPECT_EQ(image, H("01 02"));
    EXPECT_FALSE(ReadHexFile((dir / "none.txt").string(), image));
}

TEST(HexFile, FailedReplaceLeavesNoTemporaryFileBehind)
{
    testsupport::TempDir dir;
    const auto target = dir / "hex.txt";
    fs::create_directories(target / "inside");  // rename over it fails
    const LegacyRefusal r = WriteHexFile(target.string(), H("01"));
    ASSERT_TRUE(r.has_value());
    EXPECT_NE(r->text.find("hex.txt"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_directory(target / "inside"));
}

TEST(HexFile, FailedWriteKeepsTheOldFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP()
            << "root writes into read-only folders; the permission case needs a normal user";
    testsupport::TempDir dir;
    const auto path = dir / "hex.txt";
    ASSERT_FALSE(WriteHexFile(path.string(), H("01 02")).has_value());
    ::chmod(dir.str().c_str(), 0500);
    const LegacyRefusal r = WriteHexFile(path.string(), H("03 04"));
    ::chmod(dir.str().c_str(), 0700);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(testsupport::ReadFile(path), "01 02 ");
}

}  // namespace
