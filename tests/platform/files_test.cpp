#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class TempFolder : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override {
        char name[] = "/tmp/vistrel-files-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(name));
        dir = name;
    }
    void TearDown() override {
        chmod(dir.c_str(), 0755);
        std::string cmd = "rm -rf '" + dir + "'";
        (void)std::system(cmd.c_str());
    }
    std::string path(const char* name) const { return dir + "/" + name; }
    static void writeText(const std::string& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
    static std::string readText(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

}  // namespace

TEST_F(TempFolder, ReadFailsWithLengthZeroOnMissingEmptyAndFolder) {
    ByteArray buffer;
    buffer.Append("stale", 5);
    EXPECT_FALSE(ReadWholeFile(String(path("missing").c_str()), buffer));
    EXPECT_EQ(0, buffer.length);

    writeText(path("empty"), "");
    buffer.Append("stale", 5);
    EXPECT_FALSE(ReadWholeFile(String(path("empty").c_str()), buffer));
    EXPECT_EQ(0, buffer.length);

    buffer.Append("stale", 5);
    EXPECT_FALSE(ReadWholeFile(String(dir.c_str()), buffer));
    EXPECT_EQ(0, buffer.length);
}

TEST_F(TempFolder, ReadsExactlyTheBytes) {
    std::string bytes("a\0b\r\n\xff", 6);
    writeText(path("data"), bytes);
    ByteArray buffer;
    ASSERT_TRUE(ReadWholeFile(String(path("data").c_str()), buffer));
    ASSERT_EQ(6, buffer.length);
    EXPECT_EQ(bytes, std::string(reinterpret_cast<char*>(buffer.data), 6));
    EXPECT_TRUE(FileExists(String(path("data").c_str())));
    EXPECT_FALSE(FileExists(String(path("nope").c_str())));
}

TEST_F(TempFolder, WriteReplacesAndLeavesNoTemporaryBehind) {
    std::string target = path("photo.png");
    writeText(target, "old contents");
    ASSERT_TRUE(WriteWholeFile(String(target.c_str()), "new", 3));
    EXPECT_EQ("new", readText(target));
    std::string cmd = "test $(ls -A '" + dir + "' | wc -l) -eq 1";
    EXPECT_EQ(0, std::system(cmd.c_str()));
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

TEST_F(TempFolder, FailedWriteIntoReadOnlyFolderKeepsTheExistingFile) {
    std::string target = path("photo.jpg");
    writeText(target, "the user's photo");
    ASSERT_EQ(0, chmod(target.c_str(), 0666));
    ASSERT_EQ(0, chmod(dir.c_str(), 0555));
    EXPECT_FALSE(writeAsUnprivileged(target, "x"));
    EXPECT_EQ("the user's photo", readText(target));
}

TEST_F(TempFolder, ReadOnlyTargetIsRefusedAndKept) {
    std::string target = path("readonly.bmp");
    writeText(target, "keep me");
    ASSERT_EQ(0, chmod(target.c_str(), 0444));
    ASSERT_EQ(0, chmod(dir.c_str(), 0777));
    EXPECT_FALSE(writeAsUnprivileged(target, "x"));
    EXPECT_EQ("keep me", readText(target));
}

TEST_F(TempFolder, WritableTargetIsReplacedByAnUnprivilegedUser) {
    std::string target = path("mine.png");
    writeText(target, "old");
    ASSERT_EQ(0, chmod(target.c_str(), 0666));
    ASSERT_EQ(0, chmod(dir.c_str(), 0777));
    EXPECT_TRUE(writeAsUnprivileged(target, "new"));
    EXPECT_EQ("new", readText(target));
    struct stat info;
    ASSERT_EQ(0, stat(target.c_str(), &info));
    EXPECT_EQ(0666u, info.st_mode & 0777);  // the file keeps its permissions
}

TEST_F(TempFolder, WriteIntoMissingFolderFails) {
    EXPECT_FALSE(WriteWholeFile(String(path("no/such/folder.png").c_str()), "x", 1));
}
