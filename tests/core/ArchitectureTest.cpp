// The core layer links no Qt: no file under src/core may include a Qt header.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

TEST(Architecture, CoreIncludesNoQtHeader)
{
    namespace fs = std::filesystem;
    const std::regex qtInclude(R"(^\s*#\s*include\s*[<"]Q)");
    int files = 0;
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(VARNEL_SOURCE_DIR) / "src" / "core")) {
        if (!entry.is_regular_file()) continue;
        ++files;
        std::ifstream in(entry.path());
        int lineNo = 0;
        for (std::string line; std::getline(in, line); ++lineNo)
            EXPECT_FALSE(std::regex_search(line, qtInclude))
                << entry.path() << ":" << lineNo + 1 << ": " << line;
    }
    EXPECT_GT(files, 0);
}
