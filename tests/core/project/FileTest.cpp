// Files of a user: the atomic write keeps the file's mode, writes through
// links and refuses a file the user may not write; reads tell missing,
// unreadable and folder apart; XML files convert their encoding.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/model/AtomicFile.h"
#include "core/project/TableRows.h"
#include "core/project/XmlFile.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

TEST(AtomicFile, WritesTheFileItReplacesKeepingModeAndLinks)
{
    TempDir dir;
    WriteFile(dir / "p.vrc", "old");
    fs::permissions(dir / "p.vrc", fs::perms(0640));
    fs::create_directory(dir / "sub");
    WriteFile(dir / "sub/t.vrc", "old");
    fs::create_symlink("sub/t.vrc", dir / "link.vrc");
    fs::create_symlink(dir / "link.vrc", dir / "chain.vrc");
    for (const char* name : {"p.vrc", "chain.vrc", "new.vrc"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(WriteFileAtomically((dir / name).string(), name));
        EXPECT_EQ(ReadFile(dir / name), name);
    }
    EXPECT_EQ(fs::status(dir / "p.vrc").permissions(), fs::perms(0640));
    EXPECT_TRUE(fs::is_symlink(dir / "chain.vrc") && fs::is_symlink(dir / "link.vrc"));
    EXPECT_EQ(ReadFile(dir / "sub/t.vrc"), "chain.vrc");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(fs::status(dir / "new.vrc").permissions(), fs::perms(0666 & ~mask));
    EXPECT_EQ(fs::directory_iterator(dir / "sub")->path().filename(), "t.vrc");  // no leftovers
    EXPECT_EQ(WriteFileAtomically(dir.str(), "x").code(), Code::FileIsDirectory);
}

// A read-only file of another user is refused, and neither its content nor
// its mode changes.
TEST(AtomicFile, RefusesAFileTheUserMayNotWrite)
{
    TempDir dir;
    fs::permissions(dir.path(), fs::perms(0777));
    WriteFile(dir / "ro.vrc", "old");
    fs::permissions(dir / "ro.vrc", fs::perms(0444));
    // As root, drop to nobody; anyone else is refused by the mode alone.
    const bool root = ::geteuid() == 0;
    const passwd* nobody = ::getpwnam("nobody");
    if (root && nobody == nullptr) GTEST_SKIP() << "no user 'nobody' to drop to";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)) ::_exit(10);
        const std::string path = (dir / "ro.vrc").string();
        const Status s = WriteFileAtomically(path, "new");
        ::_exit(!s && s.code() == Code::FileNotWritable &&
                        s.message().text == "无法写入文件 " + path + ": Permission denied"
                    ? 0
                    : 20);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(dir / "ro.vrc"), "old");
    EXPECT_EQ(fs::status(dir / "ro.vrc").permissions(), fs::perms(0444));
}

TEST(AtomicFile, ReadRefusalsHaveCodes)
{
    TempDir dir;
    WriteFile(dir / "f", "x");
    EXPECT_EQ(*ReadWholeFile((dir / "f").string()), "x");
    const std::tuple<std::string, Code, const char*> cases[] = {
        {(dir / "none").string(), Code::FileMissing, "No such file or directory"},
        {(dir / "f" / "g").string(), Code::FileMissing, "Not a directory"},
        {dir.str(), Code::FileIsDirectory, "is a directory"},
    };
    for (const auto& [path, code, reason] : cases) {
        const Result<std::string> r = ReadWholeFile(path);
        ASSERT_FALSE(r) << path;
        EXPECT_EQ(r.code(), code) << path;
        EXPECT_EQ(r.message().text, "无法打开文件 " + path + ": " + reason);
    }
}

TEST(XmlFile, LoadAndSaveEncodings)
{
    TempDir dir;
    for (const auto& row : tablerows::Rows("xml/encodings.tsv")) {
        WriteFile(dir / "in.xml", row[0]);
        CXmlDoc xml;
        ASSERT_TRUE(LoadXmlFile((dir / "in.xml").string(), xml));
        EXPECT_EQ(xml.Document(), row[1]);
        ASSERT_TRUE(SaveXmlFile((dir / "out.xml").string(), xml));
        const bool lossless = row[1].find('?') == std::string::npos;
        EXPECT_TRUE(!lossless || ReadFile(dir / "out.xml") == row[0]) << row[0];
    }
    CXmlDoc xml;
    xml.SetDocument("<a/>");
    EXPECT_EQ(LoadXmlFile((dir / "missing.xml").string(), xml).code(), Code::FileMissing);
    EXPECT_FALSE(xml.FindElement("a"));
}

}  // namespace
