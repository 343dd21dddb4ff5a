#include "platform/app_window.h"
#include "platform/headless.h"
#include "platform/main_loop.h"
#include "platform/menu_table.h"
#include "platform/native_window.h"
#include "platform/program_folder.h"
#include "platform/window_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> journal;

// Records what the loop does to it; finishes after a set number of updates.
class ProbeWindow : public AppWindow {
public:
    explicit ProbeWindow(std::string name, int finishOnUpdate = 0)
        : name_(std::move(name)), finishOnUpdate_(finishOnUpdate) {}
    ~ProbeWindow() override { journal.push_back("delete " + name_); }

    void Present() override { journal.push_back("present " + name_); }
    bool Update(const InputState&) override {
        journal.push_back("update " + name_);
        return ++updates_ == finishOnUpdate_;
    }
    void DispatchInput(const InputState& s) override {
        journal.push_back("input " + name_);
        lastPressed = s.pressed;
    }
    void OnResize() override { journal.push_back("resize " + name_); }
    bool CanClose() override { return canClose; }

    bool canClose = true;
    uint32_t lastPressed = 0;

private:
    std::string name_;
    int finishOnUpdate_;
    int updates_ = 0;
};

ProbeWindow* Open(const char* name, bool popup, int finishOnUpdate = 0) {
    auto* w = new ProbeWindow(name, finishOnUpdate);
    bool ok = w->CreateNative(name, popup ? Size{300, 200} : Size{800, 600}, popup ? Size{300, 200} : Size{800, 600},
                              popup);
    EXPECT_TRUE(ok);
    return w;
}

class HeadlessWindows : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        journal.clear();
        TheWindowManager = new WindowManager;
        ASSERT_TRUE(TheWindowManager->IsReady());
    }
    void TearDown() override {
        delete TheWindowManager;
        TheWindowManager = nullptr;
        headless::Reset();
    }
    // Keeps only the journal lines starting with the prefix.
    static std::vector<std::string> Only(const std::string& prefix) {
        std::vector<std::string> lines;
        for (const std::string& line : journal) {
            if (line.compare(0, prefix.size(), prefix) == 0)
                lines.push_back(line);
        }
        return lines;
    }
};

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(HeadlessWindows, FinishedWindowIsDestroyedUnpresentedAndTheNextRunsInTheSamePass) {
    Open("main", false);
    Open("a", true, 1);
    Open("b", true);
    headless::Activate(nullptr);
    journal.clear();
    WalkWindows();
    EXPECT_EQ(journal, (Lines{"update main", "present main", "update a", "delete a", "update b", "present b"}));
    EXPECT_EQ(TheWindowManager->WindowCount(), 2);
}

TEST_F(HeadlessWindows, DestroyingDuringTheWalkNeverSkipsOrRepeats) {
    Open("main", false);
    Open("a", true, 2);
    Open("b", true, 1);
    Open("c", true, 2);
    Open("d", true);
    journal.clear();
    WalkWindows();
    EXPECT_EQ(Only("update"), (Lines{"update main", "update a", "update b", "update c", "update d"}));
    journal.clear();
    WalkWindows();
    EXPECT_EQ(Only("update"), (Lines{"update main", "update a", "update c", "update d"}));
    EXPECT_EQ(Only("delete"), (Lines{"delete a", "delete c"}));
    EXPECT_EQ(Only("present"), (Lines{"present main", "present d"}));
    ASSERT_EQ(TheWindowManager->WindowCount(), 2);
}

TEST_F(HeadlessWindows, OnlyTheActiveWindowSeesInput) {
    ProbeWindow* main = Open("main", false);
    ProbeWindow* popup = Open("popup", true);
    headless::Activate(popup);
    headless::Click(*main, 10, 10);  // a click activates the window it lands on
    journal.clear();
    WalkWindows();
    EXPECT_EQ(Only("input"), (Lines{"input main"}));
    EXPECT_EQ(main->lastPressed, uint32_t(MouseLeft));
    headless::Activate(nullptr);
    journal.clear();
    WalkWindows();
    EXPECT_TRUE(Only("input").empty());
    EXPECT_EQ(Only("update").size(), 2u);  // inactive windows are still updated
}

TEST_F(HeadlessWindows, QuitEndsTheLoopBeforeLaterMessages) {
    Open("main", false);
    bool later = false;
    headless::Post([] { journal.push_back("first"); });
    PostQuitMessage();
    headless::Post([&] { later = true; });
    journal.clear();
    MainLoop();
    EXPECT_FALSE(later);
    EXPECT_EQ(Only("first").size(), 1u);
    EXPECT_EQ(Only("update").size(), 1u);  // one pass, then the quit
    EXPECT_EQ(headless::PendingMessages(), 1);
}

TEST_F(HeadlessWindows, ClosingTheMainWindowEndsTheLoop) {
    ProbeWindow* main = Open("main", false);
    Open("popup", true);
    main->canClose = false;
    headless::Post([&] { headless::CloseBox(*main); });
    headless::Post([&] { main->canClose = true; });
    headless::Post([&] { headless::CloseBox(*main); });
    MainLoop();
    EXPECT_EQ(Only("delete"), (Lines{"delete main"}));
    EXPECT_EQ(TheWindowManager->WindowCount(), 1);
}

TEST_F(HeadlessWindows, ClosingAPopupDestroysOnlyIt) {
    Open("main", false);
    ProbeWindow* popup = Open("popup", true);
    headless::CloseBox(*popup);
    EXPECT_EQ(Only("delete"), (Lines{"delete popup"}));
    EXPECT_EQ(headless::PendingMessages(), 0);  // no quit posted
    EXPECT_EQ(headless::ActiveWindow(), TheWindowManager->WindowAt(0));
}

TEST_F(HeadlessWindows, WindowManagerDeletesWindowsLastFirst) {
    Open("main", false);
    Open("a", true);
    Open("b", true);
    journal.clear();
    delete TheWindowManager;
    TheWindowManager = nullptr;
    EXPECT_EQ(journal, (Lines{"delete b", "delete a", "delete main"}));
    EXPECT_FALSE(headless::MainWindowShown());
}

TEST_F(HeadlessWindows, BackBufferAndInvalidate) {
    ProbeWindow* main = Open("main", false);
    Bitmap& buffer = main->BackBuffer();
    ASSERT_EQ(buffer.width, 800);
    ASSERT_EQ(buffer.height, 600);
    buffer.fill(packPixel(32, 64, 32));
    headless::ClearInvalidations(*main);
    main->Invalidate(Rect(10, 20, 10, 40));  // zero width
    main->Invalidate(Rect(10, 20, 30, 20));  // zero height
    EXPECT_TRUE(headless::Invalidations(*main).empty());
    main->Invalidate(Rect(-5, 590, 12, 700));  // clipped to the client area
    ASSERT_EQ(headless::Invalidations(*main).size(), 1u);
    EXPECT_EQ(headless::Invalidations(*main)[0], Rect(0, 590, 12, 600));
    const Bitmap& screen = headless::Screen(*main);
    EXPECT_EQ(screen.at(0, 599) & 0xFFFFFF, packPixel(32, 64, 32) & 0xFFFFFF);
    EXPECT_NE(screen.at(12, 599) & 0xFFFFFF, packPixel(32, 64, 32) & 0xFFFFFF);
    EXPECT_NE(screen.at(0, 589) & 0xFFFFFF, packPixel(32, 64, 32) & 0xFFFFFF);
}

TEST_F(HeadlessWindows, OnlyOneWindowAttachesToTheMainNativeWindow) {
    Open("main", false);
    ProbeWindow second("second");
    EXPECT_FALSE(second.CreateNative("second", {800, 600}, {800, 600}, false));
    EXPECT_EQ(TheWindowManager->WindowCount(), 1);
}

TEST_F(HeadlessWindows, PopupIsPlacedAgainstTheMainClientArea) {
    ProbeWindow* main = Open("main", false);
    ProbeWindow* popup = Open("popup", true);  // 300 wide: left = 400 - 150
    Point m = headless::ClientOrigin(*main);
    Point p = headless::ClientOrigin(*popup);
    EXPECT_EQ(p.x - m.x, 250);
    EXPECT_EQ(p.y - m.y, 50);
    auto* wide = new ProbeWindow("wide");
    ASSERT_TRUE(wide->CreateNative("wide", {801, 100}, {801, 100}, true));  // 400 - 400 = 0 -> 0
    EXPECT_EQ(headless::ClientOrigin(*wide).x, m.x);
    EXPECT_TRUE(popup->IsPopup());
    EXPECT_FALSE(main->IsPopup());
}

TEST_F(HeadlessWindows, ResizeRebuildsTheBufferThenLaysOutAndShowsIt) {
    ProbeWindow* main = Open("main", false);
    journal.clear();
    headless::ClearInvalidations(*main);
    headless::Resize(*main, {1024, 700});
    EXPECT_EQ(journal, (Lines{"resize main", "present main"}));
    EXPECT_EQ(main->BackBuffer().width, 1024);
    EXPECT_EQ(main->BackBuffer().height, 700);
    EXPECT_EQ(TheWindowManager->ClientSize().width, 1024);
    ASSERT_EQ(headless::Invalidations(*main).size(), 1u);
    EXPECT_EQ(headless::Invalidations(*main)[0], Rect(0, 0, 1024, 700));

    headless::Resize(*main, {640, 480});  // the minimum holds
    EXPECT_EQ(main->ClientSize().width, 800);
    EXPECT_EQ(main->ClientSize().height, 600);

    headless::Minimize(*main);
    EXPECT_EQ(main->BackBuffer().width, 1);
    EXPECT_EQ(main->BackBuffer().height, 1);
    EXPECT_EQ(Only("resize").size(), 3u);
}

TEST_F(HeadlessWindows, PointerIsInClientCoordinatesEvenOutsideTheWindow) {
    ProbeWindow* main = Open("main", false);
    ProbeWindow* popup = Open("popup", true);
    headless::MoveMouse(*main, 900, -20);
    main->TakeInputSnapshot();
    popup->TakeInputSnapshot();
    EXPECT_EQ(main->Input().mouseX, 900);
    EXPECT_EQ(main->Input().mouseY, -20);
    EXPECT_EQ(popup->Input().mouseX, 900 - 250);
    EXPECT_EQ(popup->Input().mouseY, -20 - 50);
}

TEST_F(HeadlessWindows, MenuBarFollowsTheTable) {
    struct Expected {
        int32_t id;
        const char* text;
        int32_t depth;
        bool separator, submenu, enabled;
    };
    const Expected expected[] = {
        {100, "&File", 0, false, true, true},
        {101, "&Open...", 1, false, false, true},
        {0, "", 1, true, false, true},
        {102, "&Save", 1, false, false, false},
        {103, "Save &As...", 1, false, false, false},
        {0, "", 1, true, false, true},
        {105, "E&xit", 1, false, false, true},
        {100, "&Help", 0, false, true, true},
        {106, "&Contents", 1, false, false, true},
        {0, "", 1, true, false, true},
        {108, "&Orbwell Software homepage", 1, false, false, true},
        {109, "Technical su&pport", 1, false, false, true},
        {110, "&About", 1, false, false, true},
    };
    const auto& menu = headless::Menu();
    ASSERT_EQ(menu.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < menu.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(menu[i].id, expected[i].id);
        EXPECT_EQ(menu[i].text, expected[i].text);
        EXPECT_EQ(menu[i].depth, expected[i].depth);
        EXPECT_EQ(menu[i].separator, expected[i].separator);
        EXPECT_EQ(menu[i].submenu, expected[i].submenu);
        EXPECT_EQ(menu[i].enabled, expected[i].enabled);
    }
    for (int32_t i = 0; i < MenuTableCount; ++i)
        EXPECT_EQ(MenuTable[i].accelerator, 0);
    EXPECT_EQ(headless::Title(), "Vistrel");
}

namespace {
std::vector<int32_t> commands;
void RecordCommand(int32_t id) { commands.push_back(id); }
}  // namespace

TEST_F(HeadlessWindows, DisabledMenuItemsSendNoCommand) {
    commands.clear();
    SetMenuCommandHandler(RecordCommand);
    EXPECT_FALSE(headless::ChooseMenu(MenuSave));
    TheWindowManager->SetMenuItemEnabled(MenuSave, true);
    EXPECT_TRUE(headless::ChooseMenu(MenuSave));
    TheWindowManager->SetMenuItemEnabled(MenuExit, false);
    EXPECT_FALSE(headless::ChooseMenu(MenuExit));
    EXPECT_TRUE(headless::ChooseMenu(MenuAbout));
    SetMenuCommandHandler(nullptr);
    EXPECT_EQ(commands, (std::vector<int32_t>{MenuSave, MenuAbout}));
}

TEST_F(HeadlessWindows, CursorShapeOutsideTheTableIsIgnored) {
    TheWindowManager->SetCursorShape(CursorMagnifier);
    EXPECT_EQ(headless::Cursor(), CursorMagnifier);
    TheWindowManager->SetCursorShape(5);
    TheWindowManager->SetCursorShape(-1);
    EXPECT_EQ(TheWindowManager->CurrentCursor(), CursorMagnifier);
    EXPECT_EQ(headless::Cursor(), CursorMagnifier);
}

TEST(MenuLabel, MnemonicsBecomeUnderscores) {
    EXPECT_EQ(MnemonicLabel("E&xit"), "E_xit");
    EXPECT_EQ(MnemonicLabel("Save &As..."), "Save _As...");
    EXPECT_EQ(MnemonicLabel("Fish && Chips"), "Fish & Chips");
    EXPECT_EQ(MnemonicLabel("snake_case &x"), "snake__case _x");
    EXPECT_EQ(MnemonicLabel("trailing&"), "trailing");
}

// The whole program on the headless backend: start-up order, a menu
// command that quits, teardown before the windows go.
namespace {

struct ProgramRun {
    bool windowManagerAtStart = false;
    String folderAtStart;
    bool windowManagerAtTeardown = false;
    int32_t windowsAtTeardown = -1;
    std::vector<std::string> order;
} run;

void StartUp() {
    run.order.push_back("start");
    run.windowManagerAtStart = TheWindowManager != nullptr;
    run.folderAtStart = ProgramFolder;
    auto* w = new ProbeWindow("app");
    w->CreateNative("app", TheWindowManager->ClientSize(), {800, 600}, false);
    headless::Post([] { headless::ChooseMenu(MenuExit); });
}

void AppTearDown() {
    run.order.push_back("teardown");
    run.windowManagerAtTeardown = TheWindowManager != nullptr;
    run.windowsAtTeardown = TheWindowManager ? TheWindowManager->WindowCount() : -1;
}

void Command(int32_t id) {
    run.order.push_back("command " + std::to_string(id));
    if (id == MenuExit)
        PostQuitMessage();
}

}  // namespace

TEST(Program, StartsRunsAndShutsDownInOrder) {
    headless::Reset();
    journal.clear();
    run = ProgramRun();
    ApplicationHooks hooks;
    hooks.startUp = StartUp;
    hooks.tearDown = AppTearDown;
    hooks.command = Command;
    EXPECT_EQ(RunProgram(hooks), 0);
    EXPECT_EQ(run.order, (std::vector<std::string>{"start", "command 105", "teardown"}));
    EXPECT_TRUE(run.windowManagerAtStart);
    EXPECT_GT(run.folderAtStart.length, 0);
#ifdef _WIN32
    EXPECT_EQ(run.folderAtStart.data[run.folderAtStart.length - 1], '\\');
#else
    EXPECT_EQ(run.folderAtStart.data[run.folderAtStart.length - 1], '/');
#endif
    EXPECT_TRUE(run.windowManagerAtTeardown);
    EXPECT_EQ(run.windowsAtTeardown, 1);
    EXPECT_EQ(TheWindowManager, nullptr);
    EXPECT_EQ(ProgramFolder.length, 0);
    EXPECT_EQ(journal.back(), "delete app");
    headless::Reset();
}

TEST(Program, WithoutADisplayItFailsBeforeTheApplicationStarts) {
    headless::Reset();
    run = ProgramRun();
    headless::SetDisplayAvailable(false);
    ApplicationHooks hooks;
    hooks.startUp = StartUp;
    EXPECT_EQ(RunProgram(hooks), 1);
    EXPECT_TRUE(run.order.empty());
    EXPECT_EQ(TheWindowManager, nullptr);
    headless::Reset();
}
