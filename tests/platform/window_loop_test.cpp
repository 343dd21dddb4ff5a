#include "platform/app_window.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/frame_request.h"
#include "platform/headless.h"
#include "platform/main_loop.h"
#include "platform/menu_table.h"
#include "platform/program_folder.h"
#include "platform/window_manager.h"

#include "watchdog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> journal;

// Records what the loop does to it; finishes after a set number of updates.
class ProbeWindow : public AppWindow {
public:
    explicit ProbeWindow(std::string name, int finishOn = 0) : name_(std::move(name)), finishOn_(finishOn) {}
    ~ProbeWindow() override { journal.push_back("delete " + name_); }

    void Present() override { journal.push_back("present " + name_); }
    bool Update(const InputState&) override { journal.push_back("update " + name_); return ++updates_ == finishOn_; }
    void DispatchInput(const InputState& s) override { journal.push_back("input " + name_); lastPressed = s.pressed; }
    void OnResize() override { journal.push_back("resize " + name_); }
    bool CanClose() override { return canClose; }

    bool canClose = true;
    uint32_t lastPressed = 0;

private:
    std::string name_;
    int finishOn_;
    int updates_ = 0;
};

ProbeWindow* Open(const char* name, bool popup, int finishOnUpdate = 0) {
    auto* w = new ProbeWindow(name, finishOnUpdate);
    const Size size = popup ? Size{300, 200} : Size{800, 600};
    EXPECT_TRUE(w->CreateNative(name, size, size, popup));
    return w;
}

class HeadlessWindows : public ::testing::Test {
protected:
    Watchdog watchdog_{"a window loop test"};  // a loop that never sees its quit would otherwise run for ever
    void SetUp() override {
        headless::Reset();
        journal.clear();
        TheWindowManager = new WindowManager;
        ASSERT_TRUE(TheWindowManager->IsReady());
        main = Open("main", false);
    }
    void TearDown() override { delete TheWindowManager; TheWindowManager = nullptr; headless::Reset(); }
    ProbeWindow* main = nullptr;  // every test starts with the main window open, the first of all
    static void WalkWithFreshJournal() { journal.clear(); WalkWindows(); }
    static std::vector<std::string> Only(const std::string& prefix) {
        std::vector<std::string> lines;
        for (const std::string& line : journal) if (line.rfind(prefix, 0) == 0) lines.push_back(line);
        return lines;
    }
};

using Lines = std::vector<std::string>;

// The whole program on the headless backend: start-up order, a menu command that quits, teardown before the windows go.
struct ProgramRun {
    bool windowManagerAtStart = false;
    String folderAtStart;
    int32_t windowsAtTeardown = -1;
    std::vector<std::string> order;
} run;

struct Program : ::testing::Test {
    void SetUp() override {
        headless::Reset();
        journal.clear();
        run = ProgramRun();
        hooks.startUp = [] {
            run.order.push_back("start");
            run.windowManagerAtStart = TheWindowManager != nullptr;
            run.folderAtStart = ProgramFolder;
            auto* w = new ProbeWindow("app");
            w->CreateNative("app", TheWindowManager->ClientSize(), {800, 600}, false);
            headless::Post([] { headless::ChooseMenu(MenuExit); });
        };
    }
    void TearDown() override { headless::Reset(); }
    ApplicationHooks hooks;
};

}  // namespace

// A window gets its native window once, and there is one main window.
TEST_F(HeadlessWindows, AWindowIsMadeOnceAndTheMainWindowIsTheOnlyOne) {
    ProbeWindow second("second");
    EXPECT_FALSE(main->CreateNative("again", {300, 200}, {300, 200}, true));
    EXPECT_FALSE(second.CreateNative("second", {800, 600}, {800, 600}, false));
    EXPECT_EQ(TheWindowManager->WindowCount(), 1);
    headless::RefuseWindows(true);  // a window the system cannot make leaves nothing behind and may be tried again
    EXPECT_FALSE(second.CreateNative("second", {300, 200}, {300, 200}, true) || second.Native());
    EXPECT_EQ(TheWindowManager->WindowCount(), 1);
    headless::RefuseWindows(false);
    EXPECT_TRUE(second.CreateNative("second", {300, 200}, {300, 200}, true));
}

TEST_F(HeadlessWindows, DestroyingDuringTheWalkNeverSkipsOrRepeats) {
    for (const auto& [name, finishOnUpdate] : {std::pair{"a", 2}, {"b", 1}, {"c", 2}, {"d", 0}})
        Open(name, true, finishOnUpdate);
    WalkWithFreshJournal();
    EXPECT_EQ(Only("update"), (Lines{"update main", "update a", "update b", "update c", "update d"}));
    WalkWithFreshJournal();
    EXPECT_EQ(Only("update"), (Lines{"update main", "update a", "update c", "update d"}));
    EXPECT_EQ(Only("delete"), (Lines{"delete a", "delete c"}));
    EXPECT_EQ(Only("present"), (Lines{"present main", "present d"}));
    ASSERT_EQ(TheWindowManager->WindowCount(), 2);
}

TEST_F(HeadlessWindows, OnlyTheActiveWindowSeesInput) {
    ProbeWindow* popup = Open("popup", true);
    headless::Activate(popup);
    headless::Click(*main, 10, 10);  // a click activates the window it lands on
    WalkWithFreshJournal();
    EXPECT_EQ(Only("input"), (Lines{"input main"}));
    EXPECT_EQ(main->lastPressed, uint32_t(MouseLeft));
    headless::Activate(nullptr);
    WalkWithFreshJournal();
    EXPECT_TRUE(Only("input").empty());
    EXPECT_EQ(Only("update").size(), 2u);  // inactive windows are still updated
    headless::Activate(popup);
    delete popup;  // a closed dialog gives the main window back its input
    EXPECT_EQ(headless::ActiveWindow(), main);
}

// A flood of messages is handled a thousand to a pass, the windows walked between passes, and does not end the loop.
TEST_F(HeadlessWindows, AFloodOfMessagesTakesSeveralPasses) {
    int32_t handled = 0;
    for (int32_t i = 0; i < 2500; ++i) headless::Post([&] { ++handled; });
    PostQuitMessage();
    journal.clear();
    MainLoop();
    EXPECT_TRUE(handled == 2500 && Only("update").size() == 3u) << handled;
}

TEST_F(HeadlessWindows, QuitEndsTheLoopBeforeLaterMessages) {
    bool later = false;
    headless::Post([] { journal.push_back("first"); });
    PostQuitMessage();
    headless::Post([&] { later = true; });
    journal.clear();
    RequestFrameWithin(250);
    MainLoop();
    EXPECT_FALSE(later);
    EXPECT_TRUE(Only("first").size() == 1 && Only("update").size() == 1) << journal.size();  // one pass, then the quit
    EXPECT_EQ(headless::PendingMessages(), 1);
    // The pass waited for messages no longer than the frame asked for.
    ASSERT_EQ(headless::Waits().size(), 1u);
    EXPECT_TRUE(headless::Waits()[0] >= 0 && headless::Waits()[0] <= 250) << headless::Waits()[0];
}

TEST_F(HeadlessWindows, ClosingTheMainWindowEndsTheLoop) {
    Open("popup", true);
    main->canClose = false;
    headless::Post([&] { headless::CloseBox(*main); });
    headless::Post([&] { main->canClose = true; });
    headless::Post([&] { headless::CloseBox(*main); });
    MainLoop();
    EXPECT_EQ(Only("delete"), (Lines{"delete main"}));
    EXPECT_EQ(TheWindowManager->WindowCount(), 1);
}

TEST_F(HeadlessWindows, WindowManagerDeletesWindowsLastFirst) {
    Open("a", true), Open("b", true);
    journal.clear();
    delete TheWindowManager, TheWindowManager = nullptr;
    EXPECT_EQ(journal, (Lines{"delete b", "delete a", "delete main"}));
    EXPECT_FALSE(headless::MainWindowShown());
}

TEST_F(HeadlessWindows, ResizeRebuildsTheBufferThenLaysOutAndShowsIt) {
    journal.clear();
    headless::ClearInvalidations(*main);
    headless::Resize(*main, {1024, 700});
    EXPECT_EQ(journal, (Lines{"resize main", "present main"}));
    EXPECT_EQ(main->BackBuffer().bounds(), Rect(0, 0, 1024, 700));
    EXPECT_EQ(TheWindowManager->ClientSize().width, 1024);
    EXPECT_EQ(headless::Invalidations(*main), std::vector<Rect>{Rect(0, 0, 1024, 700)});

    headless::Resize(*main, {640, 480});  // the minimum holds
    EXPECT_EQ(std::pair(main->ClientSize().width, main->ClientSize().height), std::pair(800, 600));
    main->BackBuffer().fill(0xFFFFFFFFu);  // a new buffer starts black, not with what memory held before
    headless::Resize(*main, {1024, 700}), headless::Resize(*main, {800, 600});
    EXPECT_EQ(800 * 600, std::count(main->BackBuffer().data, main->BackBuffer().data + 800 * 600, 0u));

    headless::Minimize(*main);
    EXPECT_EQ(main->BackBuffer().bounds(), Rect(0, 0, 1, 1));
    EXPECT_EQ(Only("resize").size(), 5u);
}

TEST_F(HeadlessWindows, CursorShapeOutsideTheTableIsIgnored) {
    for (int32_t shape : {int32_t(CursorMagnifier), 5, -1}) TheWindowManager->SetCursorShape(shape);
    EXPECT_TRUE(TheWindowManager->CurrentCursor() == CursorMagnifier && headless::Cursor() == CursorMagnifier);
}

TEST_F(Program, StartsRunsAndShutsDownInOrder) {
    hooks.tearDown = [] {
        run.order.push_back("teardown");
        run.windowsAtTeardown = TheWindowManager ? TheWindowManager->WindowCount() : -1;
    };
    hooks.command = [](int32_t id) {
        run.order.push_back("command " + std::to_string(id));
        if (id == MenuExit) PostQuitMessage();
    };
    hooks.filesDropped = [](const std::vector<String>&) { run.order.push_back("dropped"); };
    static void (*start)() = nullptr;  // the fixture's, after a drop while running
    start = hooks.startUp;
    hooks.startUp = [] { headless::Post([] { DispatchDroppedFiles({String("a.png")}); }); start(); };
    Watchdog watchdog("the program's run");
    EXPECT_EQ(RunProgram(hooks), 0);
    DispatchMenuCommand(105);  // the handlers went with the program
    DispatchDroppedFiles({String("a.png")});
    EXPECT_EQ(run.order, (std::vector<std::string>{"start", "dropped", "command 105", "teardown"}));
    EXPECT_TRUE(run.windowManagerAtStart && run.folderAtStart.length > 0);
    EXPECT_EQ(run.folderAtStart.data[run.folderAtStart.length - 1], PathSeparator);
    const std::string self = run.folderAtStart.str() + "platform_window_tests" + (PathSeparator == '/' ? "" : ".exe");
    EXPECT_TRUE(FileExists(String(self))) << self;  // the folder of this very program
    EXPECT_EQ(std::tuple(run.windowsAtTeardown, TheWindowManager, ProgramFolder.length), std::tuple(1, nullptr, 0));
    EXPECT_EQ(journal.back(), "delete app");
}

TEST_F(Program, WithoutADisplayItFailsBeforeTheApplicationStarts) {
    headless::SetDisplayAvailable(false);
    EXPECT_EQ(RunProgram(hooks), 1);
    EXPECT_TRUE(run.order.empty() && TheWindowManager == nullptr);
}

// The loop sleeps unless the next frame was asked for: after input or a paint, while a button is held, or by a window.
TEST_F(HeadlessWindows, FramesAreAskedForOnlyWhileSomethingChanges) {
    const auto frameAfterWalk = [] { return WalkWindows(), TakeFrameRequest(); };
    frameAfterWalk();
    EXPECT_EQ(frameAfterWalk(), -1);  // nothing happened: wait for a message

    headless::Click(*main, 10, 10);
    EXPECT_EQ(frameAfterWalk(), 0);  // the click settles in the next frame
    headless::PressButton(*main, MouseRight);
    frameAfterWalk();
    const int32_t held = frameAfterWalk();
    EXPECT_TRUE(held > 0 && held <= 15) << held;  // a drag is followed without motion too
    headless::ReleaseButton(*main, MouseRight);
    WalkWindows();
    EXPECT_EQ(frameAfterWalk(), -1);

    main->Invalidate(Rect(0, 0, 5, 5));
    EXPECT_EQ(TakeFrameRequest(), 0);
    RequestFrameWithin(40);
    RequestFrameWithin(500);
    const int32_t earliest = TakeFrameRequest();
    EXPECT_TRUE(earliest > 30 && earliest <= 40) << earliest;
    RequestFrameWithin(40), SleepMilliseconds(20);
    EXPECT_LE(TakeFrameRequest(), 21);  // the time waited counts
}
