#include "platform/files.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <sys/stat.h>
#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

class TempFolder : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override {
        dir = MakeScratchFolder("vistrel-files");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        chmod(dir.c_str(), 0755);
        RemoveScratchFolder(dir);
    }
    std::string path(const char* name) const { return dir + "/" + name; }
    static void writeText(const std::string& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
    // Files in the folder, hidden ones included.
    int entries() const {
        auto list = std::filesystem::directory_iterator(std::filesystem::u8path(dir));
        return static_cast<int>(std::distance(begin(list), end(list)));
    }
    static std::string readText(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

}  // namespace

TEST_F(TempFolder, ReadsExactlyTheBytesOrFailsWithLengthZero) {
    std::string bytes("a\0b\r\n\xff", 6);
    writeText(path("data"), bytes);
    writeText(path("empty"), "");
    ByteArray buffer;
    ASSERT_TRUE(ReadWholeFile(String(path("data").c_str()), buffer));
    EXPECT_EQ(bytes, std::string(reinterpret_cast<char*>(buffer.data), static_cast<size_t>(buffer.length)));
    for (const std::string& bad : {path("missing"), path("empty"), dir}) {
        EXPECT_FALSE(ReadWholeFile(String(bad.c_str()), buffer)) << bad;
        EXPECT_EQ(0, buffer.length) << bad;
        buffer.Append("stale", 5);
    }
    EXPECT_TRUE(FileExists(String(path("data").c_str())));
    EXPECT_FALSE(FileExists(String(path("missing").c_str())));
}

TEST_F(TempFolder, WriteReplacesAndLeavesNoTemporaryBehind) {
    std::string target = path("photo.png");
    writeText(target, "old contents");
    ASSERT_TRUE(WriteWholeFile(String(target.c_str()), "new", 3));
    EXPECT_EQ("new", readText(target));
    EXPECT_EQ(1, entries());
    EXPECT_FALSE(WriteWholeFile(String(path("no/such/folder.png").c_str()), "x", 1));
}

#ifndef _WIN32

// The write fails half way, after the temporary file exists: the child may
// write only 1000 bytes to any file, and ignores the signal that would end it.
TEST_F(TempFolder, AWriteThatFailsHalfWayKeepsTheOldFileAndNoTemporary) {
    std::string target = path("photo.tga");
    writeText(target, "the user's photo");
    pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(3);
        std::string big(5000, 'x');
        _exit(WriteWholeFile(String(target.c_str()), big.data(), static_cast<int64_t>(big.size())) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(1, WEXITSTATUS(status)) << "the write should have failed";
    EXPECT_EQ("the user's photo", readText(target));
    EXPECT_EQ(1, entries()) << "a temporary file was left behind";
}

TEST_F(TempFolder, WritingThroughALinkReplacesTheLinkedFileAndKeepsTheLink) {
    std::string real = path("real.png"), link = path("link.png");
    writeText(real, "old");
    ASSERT_EQ(0, symlink("real.png", link.c_str()));
    ASSERT_TRUE(WriteWholeFile(String(link.c_str()), "new", 3));
    struct stat info;
    ASSERT_EQ(0, lstat(link.c_str(), &info));
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ("new", readText(real));
    EXPECT_EQ(2, entries());
}

TEST_F(TempFolder, ANewFileFollowsTheUmask) {
    for (mode_t mask : {022, 077, 002}) {
        std::string target = path("new.bmp");
        unlink(target.c_str());
        mode_t old = umask(mask);
        bool written = WriteWholeFile(String(target.c_str()), "x", 1);
        umask(old);
        ASSERT_TRUE(written);
        struct stat info;
        ASSERT_EQ(0, stat(target.c_str(), &info));
        EXPECT_EQ(0666u & ~mask, info.st_mode & 0777) << std::oct << mask;
    }
}

// Runs the write in a child process; as root the child first becomes
// "nobody", since root ignores the permissions these cases rely on.
static bool writeAsUnprivileged(const std::string& target, const char* text) {
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        _exit(WriteWholeFile(String(target.c_str()), text, static_cast<int64_t>(strlen(text))) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_NE(3, WEXITSTATUS(status)) << "could not drop privileges";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A read-only folder or file refuses the write and keeps the file; a
// writable file is replaced and keeps its permissions.
TEST_F(TempFolder, PermissionsDecideAndARefusedWriteKeepsTheFile) {
    const struct {
        mode_t file, folder;
        bool written;
    } cases[] = {{0666, 0555, false}, {0444, 0777, false}, {0666, 0777, true}};
    const std::string target = path("photo.jpg");
    for (const auto& c : cases) {
        ASSERT_EQ(0, chmod(dir.c_str(), 0777));
        unlink(target.c_str());
        writeText(target, "the user's photo");
        ASSERT_EQ(0, chmod(target.c_str(), c.file));
        ASSERT_EQ(0, chmod(dir.c_str(), c.folder));
        EXPECT_EQ(c.written, writeAsUnprivileged(target, "new")) << std::oct << c.file << " in " << c.folder;
        EXPECT_EQ(c.written ? "new" : "the user's photo", readText(target));
        struct stat info;
        ASSERT_EQ(0, stat(target.c_str(), &info));
        EXPECT_EQ(c.file, info.st_mode & 0777);
    }
}

#endif  // _WIN32

// Names outside any ANSI code page, given as UTF-8, on every system.
TEST_F(TempFolder, NamesInAnyScriptAreReadWrittenAndReplaced) {
    const std::string folder = path("\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe");  // "Фото"
    ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(folder)));
    const std::string name = folder + "/\xe5\x86\x99\xe7\x9c\x9f.png";  // "写真.png"
    const String target(name.c_str());
    EXPECT_FALSE(FileExists(target));
    ASSERT_TRUE(WriteWholeFile(target, "first", 5));
    ASSERT_TRUE(WriteWholeFile(target, "second", 6));
    EXPECT_TRUE(FileExists(target));
    ByteArray buffer;
    ASSERT_TRUE(ReadWholeFile(target, buffer));
    EXPECT_EQ("second", std::string(reinterpret_cast<const char*>(buffer.data), static_cast<size_t>(buffer.length)));
    // The file sits under its real name, beside nothing else.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(folder)))
        names.push_back(entry.path().filename().u8string());
    EXPECT_EQ(names, std::vector<std::string>{"\xe5\x86\x99\xe7\x9c\x9f.png"});
    EXPECT_FALSE(FileExists(String((folder + "/\xe5\x86\x99\xe7\x9c\x9f.PNG.x").c_str())));
}

#ifdef _WIN32
// On Windows the read-only attribute guards a file for every user.
TEST_F(TempFolder, ReadOnlyTargetIsRefusedAndKeptOnWindows) {
    std::string target = path("readonly.bmp");
    writeText(target, "keep me");
    ASSERT_EQ(0, chmod(target.c_str(), _S_IREAD));
    EXPECT_FALSE(WriteWholeFile(String(target.c_str()), "x", 1));
    EXPECT_EQ("keep me", readText(target));
    ASSERT_EQ(0, chmod(target.c_str(), _S_IREAD | _S_IWRITE));
    EXPECT_TRUE(WriteWholeFile(String(target.c_str()), "new", 3));
    EXPECT_EQ("new", readText(target));
}

TEST_F(TempFolder, AFolderIsNeitherReadNorReplaced) {
    std::filesystem::create_directory(path("photo.png"));
    EXPECT_FALSE(WriteWholeFile(String(path("photo.png").c_str()), "x", 1));
    EXPECT_TRUE(std::filesystem::is_directory(path("photo.png")));
    EXPECT_TRUE(FileExists(String(path("photo.png").c_str())));
}

TEST_F(TempFolder, RelativePathsBecomeAbsolute) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    String absolute = AbsolutePath("cat.png");
    std::filesystem::current_path(before);
    EXPECT_EQ(std::filesystem::path(absolute.str()), std::filesystem::path(dir) / "cat.png");
    for (const char* absolute : {"C:\\pics\\cat.png", "C:/pics/cat.png", "\\\\server\\share\\cat.png", "/pics/cat.png"})
        EXPECT_EQ(AbsolutePath(absolute).str(), absolute);
}
#endif
