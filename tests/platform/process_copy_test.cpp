#include "platform/process_copy.h"

#include "watchdog.h"

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <string>

#ifdef _WIN32
TEST(ProcessCopy, WindowsMakesNone) {
    EXPECT_EQ(ProcessCopyResult::Unavailable,
              RunInProcessCopy([](ProcessCopyPipe&) { return true; }, [](ProcessCopyPipe&) { return true; }));
}
#else
#include <unistd.h>

// The answer arrives whole only from a copy that ends well; one that crashes, gives up, throws or sends too little
// fails without taking this process with it, and one still at work when the reader gives up is not waited for.
TEST(ProcessCopy, AnAnswerCountsOnlyFromACopyThatEndsWell) {
    const std::string answer(200000, 'a');  // more than a pipe holds at once
    const auto send = [&answer](ProcessCopyPipe& out, size_t n) { return out.Write(answer.data(), n); };
    const struct {
        const char* what;
        std::function<bool(ProcessCopyPipe&)> inCopy;
        bool refuse;
        ProcessCopyResult result;
    } rows[] = {
        {"whole", [&](ProcessCopyPipe& out) { return send(out, answer.size()); }, false, ProcessCopyResult::Done},
        {"crash", [&](ProcessCopyPipe& out) { return send(out, 100000) && std::raise(SIGSEGV) == 0; }, false,
         ProcessCopyResult::Failed},
        {"gives up", [&](ProcessCopyPipe& out) { return send(out, answer.size()) && false; }, false,
         ProcessCopyResult::Failed},
        {"throws", [&](ProcessCopyPipe& out) { return send(out, answer.size()) && (throw std::runtime_error(""), 1); },
         false, ProcessCopyResult::Failed},
        {"short", [&](ProcessCopyPipe& out) { return send(out, answer.size() - 1); }, false, ProcessCopyResult::Failed},
        {"at work", [](ProcessCopyPipe&) { return sleep(20) == 0; }, true, ProcessCopyResult::Failed},
    };
    Watchdog watchdog("a copy that is still at work");
    for (const auto& row : rows) {
        std::string got(answer.size(), '\0');
        const auto receive = [&](ProcessCopyPipe& in) { return !row.refuse && in.Read(&got[0], got.size()); };
        EXPECT_EQ(row.result, RunInProcessCopy(row.inCopy, receive)) << row.what;
        EXPECT_TRUE(row.result != ProcessCopyResult::Done || got == answer) << row.what;
    }
}
#endif
