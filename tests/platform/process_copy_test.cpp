#include "platform/process_copy.h"

#include "watchdog.h"

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <string>

#ifndef _WIN32
#include "tests/support/child_process.h"

// Only a copy that ends well gives its answer; one that crashes, gives up, throws or sends too little fails alone.
TEST(ProcessCopy, AnAnswerCountsOnlyFromACopyThatEndsWell) {
    const std::string answer(200000, 'a');  // more than a pipe holds at once
    const auto send = [&answer](ProcessCopyPipe& out, size_t n) { return out.Write(answer.data(), n); };
    const std::pair<const char*, std::function<bool(ProcessCopyPipe&)>> failing[] = {
        {"crash", [&](ProcessCopyPipe& out) { return send(out, 100000) && std::raise(SIGSEGV) == 0; }},
        {"gives up", [&](ProcessCopyPipe& out) { return send(out, answer.size()) && false; }},
        {"throws", [&](ProcessCopyPipe& out) { return send(out, answer.size()) && (throw std::runtime_error(""), 1); }},
        {"short", [&](ProcessCopyPipe& out) { return send(out, answer.size() - 1); }},
        {"at work", [](ProcessCopyPipe&) { return sleep(20) == 0; }}};  // its reader gives up at once
    Watchdog watchdog("a copy that is still at work");
    std::string got(answer.size(), '\0');
    const auto receive = [&got](ProcessCopyPipe& in) { return in.Read(&got[0], got.size()); };
    const auto whole = [&](ProcessCopyPipe& out) { return send(out, answer.size()); };
    EXPECT_EQ(ProcessCopyResult::Done, RunInProcessCopy(whole, receive));
    EXPECT_EQ(got, answer);
    EXPECT_EQ(0, RunInChild([&] {  // started with SIGCHLD ignored, so the system reaps the copy
        return signal(SIGCHLD, SIG_IGN) == SIG_ERR || RunInProcessCopy(whole, receive) != ProcessCopyResult::Done;
    }));
    for (const auto& [what, inCopy] : failing) {
        const bool refuse = std::string(what) == "at work";
        const auto reader = [&](ProcessCopyPipe& in) { return !refuse && receive(in); };
        EXPECT_EQ(ProcessCopyResult::Failed, RunInProcessCopy(inCopy, reader)) << what;
    }
}
#endif
