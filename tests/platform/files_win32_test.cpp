// The Windows file code's failure paths, reached through its step hook:
// whatever fails, the old file or the new one is still on disk.
#include "platform/files.h"
#include "platform/win32/files_win32_seam.h"
#include "platform/win32/utf8_win32.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

// What the hook does: fail `step` with `error` on its first `times` calls.
struct Injection {
    FileStep step = FileStep::Write;
    uint32_t error = 0;
    int times = 0;
    int calls = 0;
    DWORD temporaryAttributes = INVALID_FILE_ATTRIBUTES;
};
Injection injection;

uint32_t Inject(FileStep step, const std::string& temporary) {
    if (step != injection.step)
        return 0;
    if (step == FileStep::Write)
        injection.temporaryAttributes = GetFileAttributesW(WideFromUtf8(temporary).c_str());
    return injection.calls++ < injection.times ? injection.error : 0;
}

class WinFiles : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override {
        dir = MakeScratchFolder("vistrel-winfiles");
        ASSERT_FALSE(dir.empty());
        injection = Injection();
        SetFileStepHook(Inject);
    }
    void TearDown() override {
        SetFileStepHook(nullptr);
        RemoveScratchFolder(dir);
    }
    std::string path(const std::string& name) const { return dir + "\\" + name; }
    // Each file in the folder (hidden ones included) with its contents.
    std::vector<std::string> contents() const {
        std::vector<std::string> all;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(dir)))
            all.push_back(ReadFileBytes(entry.path().u8string()));
        std::sort(all.begin(), all.end());
        return all;
    }
    bool save(const std::string& target, const std::string& text, FileFailure* failure = nullptr) {
        return WriteWholeFile(String(target), text.data(), static_cast<int64_t>(text.size()), true, failure);
    }
};

}  // namespace

TEST_F(WinFiles, ABusyFileIsTriedAgainAndALeftoverNameIsSkipped) {
    const std::string target = path("photo.png");
    WriteFileBytes(target, "old");
    injection = {FileStep::Replace, ERROR_SHARING_VIOLATION, 3};
    ASSERT_TRUE(save(target, "new"));
    EXPECT_EQ(4, injection.calls);
    EXPECT_EQ(contents(), std::vector<std::string>{"new"});

    injection = {FileStep::CreateTemporary, ERROR_FILE_EXISTS, 5};
    ASSERT_TRUE(save(target, "newer"));
    EXPECT_EQ(6, injection.calls);
    EXPECT_EQ(contents(), std::vector<std::string>{"newer"});
}

// The temporary is hidden while it is written (Wine keeps no "temporary"
// attribute to look at); a failed write removes it.
TEST_F(WinFiles, AFailedWriteKeepsTheOldFileAndNoTemporary) {
    const std::string target = path("photo.png");
    WriteFileBytes(target, "old");
    injection = {FileStep::Write, ERROR_DISK_FULL, 1};
    FileFailure failure;
    EXPECT_FALSE(save(target, "new", &failure));
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, injection.temporaryAttributes);
    EXPECT_TRUE(injection.temporaryAttributes & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(FileFailure::Kind::Other, failure.kind);
    EXPECT_FALSE(failure.reason.str().empty());
    EXPECT_EQ(contents(), std::vector<std::string>{"old"});
    // A new file comes out visible.
    injection = {};
    ASSERT_TRUE(save(path("new.png"), "x"));
    EXPECT_FALSE(GetFileAttributesW(WideFromUtf8(path("new.png")).c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

// Windows may fail a replace after moving the old file away: it is put back,
// and when even that fails both files stay and the reason names the new one.
TEST_F(WinFiles, AReplaceThatFailsHalfWayLosesNothing) {
    const std::string target = path("photo.png");
    WriteFileBytes(target, "old");
    injection = {FileStep::Replace, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 100};
    FileFailure failure;
    EXPECT_FALSE(save(target, "new", &failure));
    EXPECT_EQ(FileFailure::Kind::InUse, failure.kind);
    EXPECT_EQ("old", ReadFileBytes(target));
    EXPECT_EQ(contents(), std::vector<std::string>{"old"});

    injection = {FileStep::Replace, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 1};  // then every restore fails
    SetFileStepHook([](FileStep step, const std::string& temporary) -> uint32_t {
        return step == FileStep::Restore ? ERROR_ACCESS_DENIED : Inject(step, temporary);
    });
    EXPECT_FALSE(save(target, "new", &failure));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(target)));
    EXPECT_EQ(contents(), (std::vector<std::string>{"new", "old"}));
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(dir)))
        EXPECT_NE(std::string::npos, failure.reason.str().find(entry.path().filename().u8string()))
            << failure.reason.str();
}

TEST_F(WinFiles, FailuresSayWhatKindTheyAre) {
    const std::string target = path("photo.png");
    WriteFileBytes(target, "old");
    using K = FileFailure::Kind;
    FileFailure failure;
    const auto failed = [&failure](bool done) { return done ? K::None : failure.kind; };  // the kind of a failure
    ByteArray buffer;
    EXPECT_EQ(K::Missing, failed(ReadWholeFile(String(path("missing.png")), buffer, &failure)));
    EXPECT_EQ(K::Missing, failed(save(path("no\\such\\folder.png"), "x", &failure)));
    EXPECT_EQ(K::NotRegular, failed(ReadWholeFile(String(dir), buffer, &failure)));
    EXPECT_EQ(K::NotRegular, failed(save(dir, "x", &failure)));  // a folder is no file to replace either
    EXPECT_EQ(K::Exists, failed(WriteWholeFile(String(target), "x", 1, false, &failure)));

    SetFileAttributesW(WideFromUtf8(target).c_str(), FILE_ATTRIBUTE_READONLY);  // refused, and the file kept
    EXPECT_TRUE(failed(save(target, "x", &failure)) == K::Denied && ReadFileBytes(target) == "old");
    SetFileAttributesW(WideFromUtf8(target).c_str(), FILE_ATTRIBUTE_NORMAL);

    // Held open by another program that shares nothing: busy while held, and a save waits for a short hold to end.
    HANDLE held = CreateFileW(WideFromUtf8(target).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(K::InUse, failed(ReadWholeFile(String(target), buffer, &failure)));
    std::thread release([held] {
        Sleep(100);
        CloseHandle(held);
    });
    EXPECT_TRUE(save(target, "new", &failure)) << failure.reason.str();
    release.join();
    EXPECT_EQ(contents(), std::vector<std::string>{"new"});
    EXPECT_EQ((std::vector<FileKind>{FileKind::Regular, FileKind::NotRegular, FileKind::Missing}),
              (std::vector<FileKind>{ProbeFile(String(target)), ProbeFile(String(dir)), ProbeFile(String(path("x")))}));
    EXPECT_TRUE(FileExists(String(dir)));
}

// Another spelling of the same path is the same file, existing or not.
TEST_F(WinFiles, SameFileSeesThroughCaseAndDots) {
    const std::string target = path("Photo.png");
    WriteFileBytes(target, "x");
    WriteFileBytes(path("other.png"), "y");
    std::string other = dir + "\\.\\sub\\..\\PHOTO.PNG";
    std::filesystem::create_directory(std::filesystem::u8path(path("sub")));
    FileIdentity a = IdentifyFile(String(target)), b = IdentifyFile(String(other));
    EXPECT_TRUE(SameFile(a, b));
    EXPECT_FALSE(SameFile(a, IdentifyFile(String(path("other.png")))));
    FileIdentity c = IdentifyFile(String(path("new.png"))), d = IdentifyFile(String(dir + "\\SUB\\..\\NEW.png"));
    EXPECT_TRUE(SameFile(c, d)) << c.canonical.str() << " " << d.canonical.str();
}
