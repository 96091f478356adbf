// The hex file's text format, its tolerant reading, and what the download
// refuses to take from it. (Its replacing write is AtomicFile's, tested there.)
#include <gtest/gtest.h>

#include <filesystem>

#include "core/image/HexFile.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

TEST(HexFile, RoundTripAndReadingRules)
{
    testsupport::TempDir dir;
    const std::string path = (dir / "hex.txt").string();
    for (std::size_t size : {1u, 256u, 5000u}) {
        Bytes image;
        for (std::size_t i = 0; i < size; ++i)
            image.push_back(static_cast<std::uint8_t>(i * 131 + size));
        ASSERT_TRUE(WriteHexFile(path, image).ok());
        EXPECT_EQ(testsupport::ReadFile(path).size(), 3 * size);
        EXPECT_EQ(ReadHexFile(path).value(), image);
    }
    ASSERT_TRUE(WriteHexFile(path, H("01 00 03 ff")).ok());
    EXPECT_EQ(testsupport::ReadFile(path), "01 00 03 ff ");

    const std::pair<std::string, const char*> cases[] = {
        {"01 0A fF ", "01 0a ff"},  // upper case accepted
        {"010203", "01 02 03"},     // pairs written together
        {"01 02 3", "01 02"},       // lone last character ignored
        {"01 02\r\n03 ", "01 02"},  // a line end ends the parse
        {"01 zz 03", "01"},         // a bad pair ends the parse
        {"  ", ""},
    };
    for (const auto& [text, bytes] : cases) EXPECT_EQ(ParseHexText(text), H(bytes)) << text;

    // The file is read up to a 0xFF character. A file the download cannot
    // use (missing, a folder, empty, no digits) is "你选择了下载空文件".
    testsupport::WriteFile(dir / "hex.txt", std::string("01 02 ") + '\xFF' + "03 ");
    EXPECT_EQ(ReadHexFile(path).value(), H("01 02"));
    testsupport::WriteFile(dir / "empty.txt", "");
    testsupport::WriteFile(dir / "random.bin", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    std::filesystem::create_directory(dir / "folder");
    for (const char* name : {"none.txt", "folder", "empty.txt", "random.bin"})
        EXPECT_EQ(ReadHexFile((dir / name).string()).error(),
                  Refuse(Code::HexFileEmpty, "你选择了下载空文件"))
            << name;
}

}  // namespace
