// The core layer links no Qt: no file under src/core may include a Qt header.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

TEST(Architecture, CoreIncludesNoQtHeader)
{
    namespace fs = std::filesystem;
    const fs::path core = fs::path(VARNEL_SOURCE_DIR) / "src" / "core";
    ASSERT_TRUE(fs::is_directory(core));
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(core)) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        std::ifstream in(entry.path());
        std::string line;
        int lineNo = 0;
        while (std::getline(in, line)) {
            ++lineNo;
            auto pos = line.find("#include");
            if (pos == std::string::npos)
                continue;
            auto rest = line.substr(pos + 8);
            auto open = rest.find_first_of("<\"");
            ASSERT_FALSE(open != std::string::npos && rest.size() > open + 1 && rest[open + 1] == 'Q')
                << entry.path() << ":" << lineNo << ": " << line;
        }
    }
    EXPECT_GT(files, 0);
}
