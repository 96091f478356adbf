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
#include "core/project/XmlFile.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

fs::perms Mode(const fs::path& path)
{
    return fs::status(path).permissions();
}

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
    EXPECT_EQ(Mode(dir / "p.vrc"), fs::perms(0640));
    EXPECT_TRUE(fs::is_symlink(dir / "chain.vrc"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.vrc"));
    EXPECT_EQ(ReadFile(dir / "sub/t.vrc"), "chain.vrc");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(Mode(dir / "new.vrc"), fs::perms(0666 & ~mask));
    EXPECT_EQ(fs::directory_iterator(dir / "sub")->path().filename(), "t.vrc");  // no leftovers
    EXPECT_EQ(WriteFileAtomically(dir.str(), "x").code(), Code::FileIsDirectory);
}

// As another user than the file's owner: a 0444 file and a 0644 file of
// someone else are refused, and neither the content nor the mode changes.
TEST(AtomicFile, RefusesAFileTheUserMayNotWrite)
{
    TempDir dir;
    fs::permissions(dir.path(), fs::perms(0777));
    for (const auto& [name, mode] : {std::pair{"ro.vrc", 0444}, {"theirs.vrc", 0644}}) {
        WriteFile(dir / name, "old");
        fs::permissions(dir / name, fs::perms(mode));
    }
    // As root, drop to nobody; as anyone else the other file is our own.
    const bool root = ::geteuid() == 0;
    const passwd* nobody = ::getpwnam("nobody");
    if (root && nobody == nullptr) GTEST_SKIP() << "no user 'nobody' to drop to";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)) ::_exit(10);
        for (const char* name : {"ro.vrc", "theirs.vrc"}) {
            if (!root && std::string(name) == "theirs.vrc") break;
            const std::string path = (dir / name).string();
            const Status s = WriteFileAtomically(path, "new");
            if (s || s.code() != Code::FileNotWritable ||
                s.message().text != "无法写入文件 " + path + ": Permission denied")
                ::_exit(20);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(dir / "ro.vrc"), "old");
    EXPECT_EQ(Mode(dir / "ro.vrc"), fs::perms(0444));
    EXPECT_EQ(ReadFile(dir / "theirs.vrc"), "old");
    EXPECT_EQ(Mode(dir / "theirs.vrc"), fs::perms(0644));
}

TEST(AtomicFile, ReadRefusalsHaveCodes)
{
    TempDir dir;
    WriteFile(dir / "f", "x");
    EXPECT_EQ(*ReadWholeFile((dir / "f").string()), "x");
    const std::pair<std::string, Code> cases[] = {
        {(dir / "none").string(), Code::FileMissing},
        {(dir / "f" / "g").string(), Code::FileMissing},
        {dir.str(), Code::FileIsDirectory},
    };
    for (const auto& [path, code] : cases) {
        const Result<std::string> r = ReadWholeFile(path);
        ASSERT_FALSE(r) << path;
        EXPECT_EQ(r.code(), code) << path;
        EXPECT_EQ(r.message().text.rfind("无法打开文件 " + path + ": ", 0), 0u);
    }
    EXPECT_EQ(ReadWholeFile(dir.str()).message().text,
              "无法打开文件 " + dir.str() + ": Is a directory");
}

TEST(XmlFile, LoadAndSaveEncodings)
{
    TempDir dir;
    const struct {
        std::string file;    // bytes on disk
        std::string loaded;  // the document after load (GBK)
    } cases[] = {
        {"<a>\xE4\xB8\xAD</a>", "<a>\xD6\xD0</a>"},  // no declaration: UTF-8
        {"<?xml encoding=\"utf-8\"?><a>\xE4\xB8\xAD</a>",
         "<?xml encoding=\"utf-8\"?><a>\xD6\xD0</a>"},
        {"<?xml encoding='gb2312'?><a>\xD6\xD0</a>", "<?xml encoding='gb2312'?><a>\xD6\xD0</a>"},
        {"<a>\xF0\x9F\x98\x80|\xE0\xB8\x81|\xC3\xA9</a>", "<a>?|?|\xA8\xA6</a>"},  // not in GBK
        {"<a>\xE4\xB8|\x80|\xC0\xAF</a>", "<a>?|?|?</a>"},                         // malformed
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        WriteFile(dir / "in.xml", c.file);
        CXmlDoc xml;
        ASSERT_TRUE(LoadXmlFile((dir / "in.xml").string(), xml));
        EXPECT_EQ(xml.Document(), c.loaded);
        ASSERT_TRUE(SaveXmlFile((dir / "out.xml").string(), xml));
        if (c.loaded.find('?') == std::string::npos) {
            EXPECT_EQ(ReadFile(dir / "out.xml"), c.file);
        }
    }
    CXmlDoc xml;
    xml.SetDocument("<a/>");
    EXPECT_EQ(LoadXmlFile((dir / "missing.xml").string(), xml).code(), Code::FileMissing);
    EXPECT_EQ(xml.Document(), "");
    EXPECT_FALSE(xml.FindElement("a"));
}

}  // namespace
