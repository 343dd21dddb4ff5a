#include "platform/files.h"
#include "tests/support/failing_malloc.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <array>
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
#include "platform/posix/save_seams.h"
#include "tests/support/child_process.h"
#include "tests/support/refused_calls.h"

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

namespace {

class TempFolder : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override { dir = MakeScratchFolder("vistrel-files"); ASSERT_FALSE(dir.empty()); }
    void TearDown() override { chmod(dir.c_str(), 0755); RemoveScratchFolder(dir); }
    std::string path(const char* name) const { return dir + "/" + name; }
    static unsigned Mode(const std::string& p) { return unsigned(std::filesystem::status(p).permissions()) & 0777; }
    // Files in the folder, hidden ones included.
    int entries() const {
        auto list = std::filesystem::directory_iterator(std::filesystem::u8path(dir));
        return static_cast<int>(std::distance(begin(list), end(list)));
    }
};

}  // namespace

TEST_F(TempFolder, ReadsExactlyTheBytesOrFailsWithLengthZero) {
    std::string bytes("a\0b\r\n\xff", 6);
    WriteFileBytes(path("data"), bytes);
    WriteFileBytes(path("empty"), "");
    ByteArray buffer;
    ASSERT_TRUE(ReadWholeFile(String(path("data").c_str()), buffer));
    EXPECT_EQ(bytes, std::string(reinterpret_cast<char*>(buffer.data), static_cast<size_t>(buffer.length)));
    using K = FileFailure::Kind;
#ifdef _WIN32
    const K unnamed = K::Other;  // an invalid name there
#else
    const K unnamed = K::Missing;
#endif
    for (auto [bad, kind] : {std::pair{path("missing"), K::Missing}, {path("empty"), K::Other},
                             {dir, K::NotRegular}, {std::string(), unnamed}}) {
        FileFailure failure;
        EXPECT_FALSE(ReadWholeFile(String(bad.c_str()), buffer, &failure)) << bad;
        EXPECT_EQ(0, buffer.length) << bad;
        EXPECT_EQ(kind, failure.kind) << bad;
        buffer.Append("stale", 5);
    }
#if VISTREL_FAILING_MALLOC
    WriteFileBytes(path("large"), std::string(100000, 'x'));
    FailAllocation(0, 100000);  // the buffer for the file's bytes
    EXPECT_TRUE(!ReadWholeFile(String(path("large").c_str()), buffer) && buffer.length == 0);
    FailAllocation(-1);
#endif
#ifndef _WIN32
    EXPECT_TRUE(FileExists(String("/")));  // a name of one character
    WriteFileBytes(path("huge"), "");
    ASSERT_EQ(0, truncate(path("huge").c_str(), (off_t(1) << 30) + 1));  // sparse: a gigabyte of nothing
    FileFailure failure;
    EXPECT_FALSE(ReadWholeFile(String(path("huge").c_str()), buffer, &failure));
    EXPECT_EQ(std::strerror(EFBIG), failure.reason.str());
    // Started with its standard input closed, a program's first file (or named temporary) is descriptor 0, then closed.
    EXPECT_EQ(0, RunInChild([&] {
        return close(0) == 0 && ReadWholeFile(String(path("data").c_str()), buffer) && fcntl(0, F_GETFD) < 0 &&
               WriteWholeFile(String(path("written").c_str()), "x", 1) && fcntl(0, F_GETFD) < 0 &&
               (save_seams::namedTemporaryOnly = true) && WriteWholeFile(String(path("named").c_str()), "x", 1) ? 0 : 1;
    }));
#endif
#ifdef __linux__
    // A sysfs file claims a page and holds a few bytes, as a file cut while it is read would.
    const char* cut = "/sys/devices/system/cpu/online";
    EXPECT_TRUE(!std::filesystem::exists(cut) || (!ReadWholeFile(String(cut), buffer) && buffer.length == 0));
#endif
    EXPECT_FALSE(FileExists(String("")));
}

TEST_F(TempFolder, WriteReplacesAndLeavesNoTemporaryBehind) {
    std::string target = path("photo.png");
    WriteFileBytes(target, "old contents");
    ASSERT_TRUE(WriteWholeFile(String(target.c_str()), "new", 3));
    EXPECT_TRUE(ReadFileBytes(target) == "new" && entries() == 1);
    // Without leave to replace, the file there stays; a write with no name, or a size without bytes, writes nothing.
    FileFailure failure;
    EXPECT_FALSE(WriteWholeFile(String(target.c_str()), "newer", 5, false, &failure));
    EXPECT_EQ(std::pair(FileFailure::Kind::Exists, std::string("new")), std::pair(failure.kind, ReadFileBytes(target)));
    const String other(path("other.png").c_str());
    EXPECT_FALSE(WriteWholeFile(String(), "x", 1) || WriteWholeFile(other, nullptr, 1) || WriteWholeFile(other, "x", -1));
    EXPECT_EQ(1, entries());
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir);  // a bare name is written in the working folder
    EXPECT_TRUE(WriteWholeFile(String("bare.png"), "x", 1));
    std::filesystem::current_path(before);
}

#ifndef _WIN32

// The write fails half way, after the temporary exists: the child may write only 1000 bytes to any file, and
// ignores the signal that would end it.
TEST_F(TempFolder, AWriteThatFailsHalfWayKeepsTheOldFileAndNoTemporary) {
    std::string target = path("photo.tga");
    WriteFileBytes(target, "the user's photo");
    for (bool named : {false, true}) {
        const int status = RunInChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{1000, 1000};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
            save_seams::namedTemporaryOnly = named;
            const std::string big(5000, 'x');
            FileFailure failure;  // with the system's reason
            return WriteWholeFile(String(target.c_str()), big.data(), static_cast<int64_t>(big.size()), true, &failure)
                ? 0 : failure.reason.str() == std::strerror(EFBIG) ? 1 : 2;
        });
        EXPECT_EQ(1, status) << "the write should have failed with its reason " << named;
        EXPECT_EQ("the user's photo", ReadFileBytes(target));
        EXPECT_EQ(1, entries()) << "a temporary file was left behind " << named;
    }
}

// A name not yet written is known by its folder's real path and its own; a file by its number, shared by hard links.
TEST_F(TempFolder, NamesNotYetWrittenAreKnownByRealFolderAndNameFilesByTheirNumber) {
    const auto id = [this](const char* name) { return IdentifyFile(String(path(name).c_str())); };
    ASSERT_EQ(0, mkdir(path("a").c_str(), 0755));
    ASSERT_EQ(0, mkdir(path("ab").c_str(), 0755));
    EXPECT_FALSE(SameFile(id("a/bc.png"), id("ab/c.png")));
    EXPECT_TRUE(SameFile(id("a/bc.png"), id("ab/../a/bc.png")));
    WriteFileBytes(path("a/bc.png"), "x");
    ASSERT_EQ(0, link(path("a/bc.png").c_str(), path("ab/c.png").c_str()));
    EXPECT_TRUE(SameFile(id("a/bc.png"), id("ab/c.png")));
    EXPECT_TRUE(IdentifyFile(String("/")).exists);  // a path of one character
    const FileIdentity proc = IdentifyFile(String("/proc")), sys = IdentifyFile(String("/sys"));
    EXPECT_TRUE(proc.number != sys.number || !SameFile(proc, sys));  // two file systems' roots, both number 1
    EXPECT_FALSE(SameFile(IdentifyFile(String()), IdentifyFile(String())));  // no name is no file
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path("/");
    EXPECT_EQ("/cat.png", AbsolutePath("cat.png").str());  // the root's separator is not doubled
    std::filesystem::current_path(before);
}

TEST_F(TempFolder, WritingThroughALinkReplacesTheLinkedFileAndKeepsTheLink) {
    std::string real = path("real.png"), link = path("link.png");
    WriteFileBytes(real, "old");
    ASSERT_EQ(0, symlink("real.png", link.c_str()));
    ASSERT_TRUE(WriteWholeFile(String(link.c_str()), "new", 3));
    EXPECT_TRUE(std::filesystem::is_symlink(link) && ReadFileBytes(real) == "new" && entries() == 2);
    FileFailure failure;  // a link to nothing is a missing file, and says so
    ASSERT_EQ(0, symlink("gone.png", path("dangling.png").c_str()));
    EXPECT_FALSE(WriteWholeFile(String(path("dangling.png").c_str()), "new", 3, true, &failure) || entries() != 3);
    EXPECT_TRUE(failure.kind == FileFailure::Kind::Missing && failure.reason.length > 0);
}

TEST_F(TempFolder, ANewFileFollowsTheUmask) {
    for (auto [mask, named] : {std::pair<mode_t, bool>(022, false), {077, false}, {002, false}, {022, true}}) {
        std::string target = path("new.bmp");
        unlink(target.c_str());
        mode_t old = umask(mask);
        save_seams::namedTemporaryOnly = named;
        bool written = WriteWholeFile(String(target.c_str()), "x", 1);
        save_seams::namedTemporaryOnly = false;
        umask(old);
        ASSERT_TRUE(written);
        EXPECT_EQ(0666u & ~mask, Mode(target)) << std::oct << mask;
    }
}

// A read-only folder or file refuses the write and keeps the file; a writable one keeps its permissions.
TEST_F(TempFolder, PermissionsDecideAndARefusedWriteKeepsTheFile) {
    const struct {
        mode_t file, folder;
        bool written;
    } cases[] = {{0666, 0555, false}, {0444, 0777, false}, {0666, 0777, true}};
    const std::string target = path("photo.jpg");
    for (const auto& c : cases) for (const bool named : {false, true}) {
        ASSERT_EQ(0, chmod(dir.c_str(), 0777));
        unlink(target.c_str());
        WriteFileBytes(target, "the user's photo");
        ASSERT_EQ(0, chmod(target.c_str(), c.file));
        ASSERT_EQ(0, chmod(dir.c_str(), c.folder));
        const int status = RunInChild([&] {
            save_seams::namedTemporaryOnly = named;
            FileFailure failure;  // a refusal says why
            return WriteWholeFile(String(target.c_str()), "new", 3, true, &failure) ? 0 : failure.reason.length ? 1 : 2;
        }, true);
        ASSERT_TRUE(status == 0 || status == 1) << status << ": could not drop privileges, crashed or gave no reason";
        EXPECT_EQ(c.written, status == 0) << std::oct << c.file << " in " << c.folder;
        EXPECT_EQ(c.written ? "new" : "the user's photo", ReadFileBytes(target));
        EXPECT_EQ(c.file, Mode(target));
    }
}

// Whatever appears at the target while a write without replace runs stays and the write fails with Exists,
// leaving no temporary: through an unnamed or a named temporary, and without renameat2 or links (FAT).
TEST_F(TempFolder, AWriteThatMustNotReplaceNeverDoesEvenWhenTheTargetAppearsMeanwhile) {
    static std::string intruder;
    intruder = path("photo.png");
    const auto renameNoReplace = save_seams::renameNoReplace;
    static int renameError, linkError;
    for (int way : {0, 1, 2, 3, 4, 5}) {
        if (way >= 2) {  // each error that says the file system lacks the call; 0: links work
            renameError = std::array{EINVAL, ENOSYS, EOPNOTSUPP, EINVAL}[way - 2];
            linkError = std::array{0, EPERM, EOPNOTSUPP, EMLINK}[way - 2];
            save_seams::renameNoReplace = [](const char*, const char*) { return errno = renameError, -1; };
            save_seams::linkAt = [](int fromFolder, const char* from, int toFolder, const char* to, int flags) {
                return linkError ? (errno = linkError, -1) : ::linkat(fromFolder, from, toFolder, to, flags);
            };
        }
        unlink(intruder.c_str());
        save_seams::namedTemporaryOnly = way > 0;
        save_seams::beforePublish = [](const char*) { std::ofstream(intruder) << "another process's result"; };
        FileFailure failure;
        EXPECT_FALSE(WriteWholeFile(String(intruder.c_str()), "ours", 4, false, &failure)) << way;
        save_seams::beforePublish = nullptr;
        EXPECT_EQ(std::tuple(FileFailure::Kind::Exists, std::string("another process's result"), 1),
                  std::tuple(failure.kind, ReadFileBytes(intruder), entries())) << way;
        unlink(intruder.c_str());  // without the intruder the same write publishes
        EXPECT_TRUE(WriteWholeFile(String(intruder.c_str()), "ours", 4, false)) << way;
        EXPECT_EQ(std::pair(std::string("ours"), 1), std::pair(ReadFileBytes(intruder), entries())) << way;
    }
    save_seams::namedTemporaryOnly = false;
    save_seams::renameNoReplace = renameNoReplace;
    save_seams::linkAt = ::linkat;
}

// The replaced file's owner, group and extended attributes (ACLs too) carry over; a file with a second name is refused.
TEST_F(TempFolder, AReplacedFileKeepsOwnerGroupAndAttributesAndHardLinksAreRefused) {
    const std::string target = path("shared.jpg");
    WriteFileBytes(target, "old");
    const bool root = geteuid() == 0;
    ASSERT_TRUE(!root || (chown(target.c_str(), 1234, 5678) == 0 && chmod(target.c_str(), 0664) == 0));
    const bool xattrs = setxattr(target.c_str(), "user.vistrel.rating", "5", 1, 0) == 0 &&
                        setxattr(target.c_str(), "user.vistrel.empty", "", 0, 0) == 0;  // an empty one too
    const bool acl = std::system(("setfacl -m u:4321:rw '" + target + "' 2>/dev/null").c_str()) == 0;
    ASSERT_TRUE(WriteWholeFile(String(target.c_str()), "new", 3));
    EXPECT_EQ("new", ReadFileBytes(target));
    struct stat info;
    ASSERT_EQ(0, stat(target.c_str(), &info));
    EXPECT_TRUE(!root || (info.st_uid == 1234 && info.st_gid == 5678)) << info.st_uid << ":" << info.st_gid;
    char rating[8] = {};
    EXPECT_TRUE(!xattrs || (getxattr(target.c_str(), "user.vistrel.rating", rating, 8) == 1 && *rating == '5'));
    EXPECT_TRUE(!acl || getxattr(target.c_str(), "system.posix_acl_access", nullptr, 0) > 0);
    if (!root || !xattrs || !acl) std::printf("checked: owner %d, extended attributes %d, ACL %d\n", root, xattrs, acl);
    // Replaced by a member of its group who is not its owner: the owner cannot carry over, the group still does.
    ASSERT_EQ(0, chmod(dir.c_str(), 0777));
    EXPECT_EQ(0, !root ? 0 : RunInChild([&] {
        const gid_t group = 5678;
        return setgroups(1, &group) == 0 && setgid(65534) == 0 && setuid(65534) == 0 &&
               WriteWholeFile(String(target.c_str()), "ours", 4) ? 0 : 1;
    }));
    ASSERT_EQ(0, stat(target.c_str(), &info));
    EXPECT_TRUE(!root || (info.st_uid == 65534 && info.st_gid == 5678)) << info.st_uid << ":" << info.st_gid;

    const std::string second = path("second-name.jpg");
    ASSERT_EQ(0, link(target.c_str(), second.c_str()));
    FileFailure failure;
    EXPECT_FALSE(WriteWholeFile(String(target.c_str()), "newer", 5, true, &failure));
    EXPECT_EQ(FileFailure::Kind::HardLinked, failure.kind);
    const std::string kept = root ? "ours" : "new";
    EXPECT_TRUE(ReadFileBytes(target) == kept && ReadFileBytes(second) == kept && entries() == 2);
}

#if VISTREL_REFUSED_CALLS
// Whichever step of a save over a file the system refuses, through an unnamed or a named temporary, the save fails
// with a reason and the old file stays as it was, alone in its folder. A list of attributes that outgrew the room
// measured for it a moment before is measured again.
TEST_F(TempFolder, ASaveOverAFileRefusedAtAnyStepKeepsTheOldOne) {
    const std::string target = path("kept.jpg");
    WriteFileBytes(target, "old");
    const bool xattrs = setxattr(target.c_str(), "user.vistrel.rating", "5", 1, 0) == 0;
    for (bool named : {false, true}) {
        save_seams::namedTemporaryOnly = named;
        for (const std::string call : {"fchmod", "listxattr", "getxattr", "fsetxattr", "fsync", "rename", "linkat"}) {
            FileFailure failure;
            RefuseCall(call.c_str());
            const bool written = WriteWholeFile(String(target.c_str()), "new", 3, true, &failure);
            if (RefuseCall(nullptr) == 0) {  // attributes the file system lacks; links only for unnamed ones
                EXPECT_TRUE((!xattrs && call.find("xattr") != std::string::npos) || call == "linkat") << call;
                WriteFileBytes(target, "old");  // the save went through
                continue;
            }
            EXPECT_TRUE(!written && failure.reason.length > 0) << call << " " << named;
            EXPECT_EQ("old", ReadFileBytes(target)) << call << " " << named;
            EXPECT_EQ(1, entries()) << call << " " << named;
        }
    }
    save_seams::namedTemporaryOnly = false;
    RefusalError = ERANGE;
    RefuseCall("listxattr+1");
    EXPECT_TRUE(WriteWholeFile(String(target.c_str()), "new", 3));
    EXPECT_TRUE(RefuseCall(nullptr) > 0 || !xattrs);
    RefusalError = EIO;
    char rating[2] = {};
    EXPECT_TRUE(!xattrs || (getxattr(target.c_str(), "user.vistrel.rating", rating, 2) == 1 && *rating == '5'));
}
#endif

// The folder is synced after the new name is in place, and a failed sync is a failed save.
TEST_F(TempFolder, TheFolderIsSyncedAndItsFailureReported) {
    static std::string synced;
    save_seams::syncFolder = [](int folder) {
        std::error_code unreadable;
        synced = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(folder), unreadable).string();
        return errno = EIO, -1;
    };
    FileFailure failure;
    const bool written = WriteWholeFile(String(path("a.png").c_str()), "x", 1, true, &failure);
    save_seams::syncFolder = ::fsync;
    EXPECT_EQ(std::tuple(false, std::filesystem::canonical(dir).string(), std::string(std::strerror(EIO))),
              std::tuple(written, synced, failure.reason.str()));
}

// Without unnamed temporaries (EISDIR from an old kernel, EOPNOTSUPP or EINVAL from a file system such as FAT's)
// a named one is written; any other refusal ends the save with its reason.
TEST_F(TempFolder, WithoutUnnamedTemporariesANamedOneIsWritten) {
    static int error;
    const auto openUnnamed = save_seams::openUnnamed;
    save_seams::openUnnamed = [](const char*, mode_t) { return errno = error, -1; };
    for (const int e : {ENOSPC, EOPNOTSUPP, EISDIR, EINVAL}) {  // the last also for the deep folder
        error = e;
        FileFailure failure;
        EXPECT_EQ(e != ENOSPC, WriteWholeFile(String(path("photo.png").c_str()), "new", 3, true, &failure)) << e;
        EXPECT_EQ(e == ENOSPC ? std::strerror(e) : "", failure.reason.str()) << e;
    }
    std::string deep = dir;  // a folder so deep that its temporary names are longer than a path may be
    while (deep.size() < 4080)
        ASSERT_EQ(0, mkdir((deep += "/" + std::string(std::min<size_t>(100, 4079 - deep.size()), 'd')).c_str(), 0700));
    FileFailure failure;
    EXPECT_FALSE(WriteWholeFile(String((deep + "/a.png").c_str()), "new", 3, true, &failure));
    EXPECT_EQ(std::strerror(ENAMETOOLONG), failure.reason.str());
    save_seams::openUnnamed = openUnnamed;
}

// Publishing an unnamed temporary: a name another file took meanwhile is tried again with another; any other
// failure to link, replacing or not, ends the save with its reason, the old file in place and no temporary left.
TEST_F(TempFolder, ATakenTemporaryNameIsTriedAgainAndAFailedLinkReported) {
    if (const int unnamed = open(dir.c_str(), O_TMPFILE | O_WRONLY, 0600); unnamed < 0 || close(unnamed) != 0)
        GTEST_SKIP() << "no unnamed temporary files here";
    static int error, times;
    save_seams::linkAt = [](int fromFolder, const char* from, int toFolder, const char* to, int flags) {
        return times-- > 0 ? (errno = error, -1) : ::linkat(fromFolder, from, toFolder, to, flags);
    };
    const std::string target = path("photo.png");
    for (auto [e, n, replace] : {std::tuple(EEXIST, 3, true), {EMLINK, 1, true}, {EMLINK, 1, false}, {ENOENT, 1, true},
                                 {ENOENT, 1, false}}) {
        WriteFileBytes(target, "old");
        if (!replace) unlink(target.c_str());
        error = e, times = n;
        FileFailure failure;
        EXPECT_EQ(e == EEXIST, WriteWholeFile(String(target.c_str()), "new", 3, replace, &failure)) << e;
        EXPECT_EQ(e == EEXIST ? "new" : replace ? "old" : "", ReadFileBytes(target));
        EXPECT_EQ(e == EEXIST ? "" : std::strerror(e), failure.reason.str());
        EXPECT_EQ(replace ? 1 : 0, entries());
    }
    save_seams::linkAt = ::linkat;
}

// Looking at a path never opens it: a pipe neither blocks nor reads as a file; a dangling link is there but unreadable.
TEST_F(TempFolder, PipesAndLinksAreProbedWithoutOpening) {
    const std::string fifo = path("pipe.png"), dangling = path("dangling.png");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0666));
    ASSERT_EQ(0, symlink("nowhere.png", dangling.c_str()));
    const String pipeName(fifo.c_str()), danglingName(dangling.c_str());
    EXPECT_TRUE(FileExists(pipeName) && FileExists(danglingName));
    EXPECT_EQ(std::tuple(FileKind::NotRegular, FileKind::Missing, FileKind::NotRegular),
              std::tuple(ProbeFile(pipeName), ProbeFile(danglingName), ProbeFile(String(dir.c_str()))));
    ByteArray buffer;
    FileFailure failure, writing;  // the write's failure its own: the read's stays in the other
    EXPECT_FALSE(ReadWholeFile(pipeName, buffer, &failure) || WriteWholeFile(pipeName, "x", 1, true, &writing));
    EXPECT_TRUE(failure.kind == FileFailure::Kind::NotRegular && writing.kind == FileFailure::Kind::NotRegular);
    // The system's reason comes with a failure, by either way of writing, also where a file stands for a folder.
    WriteFileBytes(path("file"), "x");
    for (bool named : {false, true})
        for (auto [where, error] : {std::pair{"no/such/folder.png", ENOENT}, {"file/photo.png", ENOTDIR}}) {
            save_seams::namedTemporaryOnly = named;
            EXPECT_FALSE(WriteWholeFile(String(path(where).c_str()), "x", 1, true, &failure));
            EXPECT_EQ(FileFailure::Kind::Missing, failure.kind);
            EXPECT_EQ(std::string(std::strerror(error)), failure.reason.str());
        }
    save_seams::namedTemporaryOnly = false;
    // A folder that appears at the name while a replacing write runs is no file to replace.
    save_seams::beforePublish = [](const char* target) { std::filesystem::create_directory(target); };
    EXPECT_FALSE(WriteWholeFile(String(path("late.png").c_str()), "x", 1, true, &failure));
    save_seams::beforePublish = nullptr;
    EXPECT_EQ(FileFailure::Kind::NotRegular, failure.kind);
}

// A save ended by SIGTERM (or Ctrl-C) while its temporary is on disk leaves no temporary behind and ends with the
// signal's usual status; the old file stays. Each way of writing pauses where its temporary has a name.
TEST_F(TempFolder, ASignalDuringASaveLeavesNoTemporary) {
    const std::string target = path("photo.png");
    const struct {
        bool named, replace, exists;
        int signal;
    } cases[] = {{true, true, true, SIGTERM}, {true, false, false, SIGINT}, {false, true, true, SIGTERM}};
    for (const auto& c : cases) {
        unlink(target.c_str());
        if (c.exists) WriteFileBytes(target, "the user's photo");
        int ready[2];
        ASSERT_EQ(0, pipe(ready));
        pid_t child = fork();
        if (child == 0) {
            static int readyFd;
            readyFd = ready[1];
            save_seams::namedTemporaryOnly = c.named;
            save_seams::beforePublish = [](const char*) { (void)!write(readyFd, "r", 1); for (;;) pause(); };
            WriteWholeFile(String(target.c_str()), "new", 3, c.replace);
            _exit(0);
        }
        close(ready[1]);
        char byte = 0;
        ASSERT_EQ(1, read(ready[0], &byte, 1)) << "the child never reached the publishing step";
        close(ready[0]);
        kill(child, c.signal);
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << c.named << c.replace;
        EXPECT_EQ(c.exists ? 1 : 0, entries()) << "a temporary outlived the program " << c.named << c.replace;
        EXPECT_EQ(c.exists ? "the user's photo" : "", ReadFileBytes(target));
    }
}

#endif  // _WIN32

// Names outside any ANSI code page, given as UTF-8, on every system.
TEST_F(TempFolder, NamesInAnyScriptAreReadWrittenAndReplaced) {
    const std::string folder = path("\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe");  // "Фото"
    ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(folder)));
    const String target((folder + "/\xe5\x86\x99\xe7\x9c\x9f.png").c_str());  // "写真.png"
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
