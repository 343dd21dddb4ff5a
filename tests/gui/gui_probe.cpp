// A program on the GTK backend that writes what it receives to a log file
// and takes commands from a file, so that a test can drive it from outside
// with xdotool. Usage: gui_probe <command file> <log file>

#include "core/bitmap.h"
#include "platform/app_window.h"
#include "platform/main_loop.h"
#include "platform/menu_table.h"
#include "platform/message_box.h"
#include "platform/window_manager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

FILE* logFile = nullptr;
const char* commandPath = nullptr;
long commandOffset = 0;

void Log(const std::string& line) {
    std::fprintf(logFile, "%s\n", line.c_str());
    std::fflush(logFile);
}

// The next complete line appended to the command file, if any.
std::string NextCommand() {
    FILE* f = std::fopen(commandPath, "rb");
    if (!f)
        return std::string();
    std::fseek(f, commandOffset, SEEK_SET);
    char line[512];
    std::string command;
    if (std::fgets(line, sizeof line, f) && std::strchr(line, '\n')) {
        commandOffset += static_cast<long>(std::strlen(line));
        command.assign(line, std::strlen(line) - 1);
    }
    std::fclose(f);
    return command;
}

class ProbeWindow : public AppWindow {
public:
    void Fill() { BackBuffer().fill(packPixel(32, 64, 32)); }
    void OnResize() override {
        Fill();
        Log("resize " + std::to_string(ClientSize().width) + " " + std::to_string(ClientSize().height));
    }
    ~ProbeWindow() override { Log("main destroyed"); }

    bool Update(const InputState& s) override {
        if (!ready_) {
            ready_ = true;
            Log("ready " + std::to_string(ClientSize().width) + " " + std::to_string(ClientSize().height));
        }
        if (s.active != active_) {
            active_ = s.active;
            Log(active_ ? "active 1" : "active 0");
        }
        std::string command = NextCommand();
        if (!command.empty())
            Run(command);
        return false;
    }

private:
    void Run(const std::string& command) {
        if (command == "ask") {
            Log("asking");
            Log(AskYesNo("Replace the file?", false, true) ? "answer yes" : "answer no");
        }
    }

    bool ready_ = false;
    bool active_ = false;
};

void StartUp() {
    auto* window = new ProbeWindow;
    window->CreateNative("Vistrel", TheWindowManager->ClientSize(), {800, 600}, false);
    window->Fill();
    window->Invalidate();
}

void TearDown() { Log("teardown"); }

void Command(int32_t id) {
    Log("command " + std::to_string(id));
    if (id == MenuExit)
        PostQuitMessage();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    commandPath = argv[1];
    logFile = std::fopen(argv[2], "w");
    if (!logFile)
        return 2;
    ApplicationHooks hooks;
    hooks.startUp = StartUp;
    hooks.tearDown = TearDown;
    hooks.command = Command;
    int status = RunProgram(hooks);
    Log("exit " + std::to_string(status));
    std::fclose(logFile);
    return status;
}
