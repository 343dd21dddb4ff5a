// A program on the desktop backend (GTK, or Win32 for the tests under Wine) that logs what it receives and takes
// commands from a file, so a test can drive it from outside with xdotool. Usage: gui_probe <command file> <log file>

#include "core/bitmap.h"
#include "platform/app_window.h"
#include "platform/file_dialog.h"
#include "platform/main_loop.h"
#include "platform/menu_table.h"
#include "platform/message_box.h"
#include "platform/window_manager.h"

#ifndef _WIN32
#include "platform/gtk/gtk_state.h"
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

FILE* logFile = nullptr;
const char* commandPath = nullptr;
long commandOffset = 0;

void Log(const std::string& line) { std::fprintf(logFile, "%s\n", line.c_str()); std::fflush(logFile); }

// The next complete line appended to the command file, if any.
std::string NextCommand() {
    FILE* f = std::fopen(commandPath, "rb");
    if (!f) return std::string();
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

class Popup : public AppWindow {
public:
    bool Update(const InputState& s) override {
        return std::find(s.keys.data, s.keys.data + s.keys.length, KeyEscape) != s.keys.data + s.keys.length;
    }
    ~Popup() override { Log("popup closed"); }
};

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
        if (s.active != active_) { active_ = s.active; Log(active_ ? "active 1" : "active 0"); }
        if (s.pressed)
            Log("press " + std::to_string(s.pressed) + " " + std::to_string(s.mouseX) + " " + std::to_string(s.mouseY));
        if (s.doubleClicked) Log("double " + std::to_string(s.doubleClicked));
        if (s.wheel) Log("wheel " + std::to_string(s.wheel));
        if (s.keys.length) {
            std::string line = "keys";
            for (int32_t i = 0; i < s.keys.length; ++i) line += " " + std::to_string(s.keys.data[i]);
            Log(line);
        }
        if (s.held != held_) {
            held_ = s.held;
            Log("held " + std::to_string(held_) + " " + std::to_string(s.mouseX) + " " + std::to_string(s.mouseY));
        }
        if (const std::string command = NextCommand(); !command.empty()) Run(command);
        // Commands come through a file, which sends no message: look again soon.
        RequestFrameWithin(10);
        return false;
    }

private:
    void Run(const std::string& command) {
        if (command.rfind("disable ", 0) == 0) {
            TheWindowManager->SetMenuItemEnabled(std::atoi(command.c_str() + 8), false);
            Log("done " + command);
        } else if (command == "pattern") {
            // Every pixel tells where it is: red and green the low bytes of x and y, blue their high bits.
            Bitmap& buffer = BackBuffer();
            for (int32_t y = 0; y < buffer.height; ++y)
                for (int32_t x = 0; x < buffer.width; ++x)
                    buffer.data[y * buffer.width + x] = packPixel(x & 255, y & 255, (x >> 8) << 4 | (y >> 8));
            Invalidate();
            Log("done pattern");
        } else if (command == "layer") {
            // Over client (100, 100) to (140, 140), a picture at the screen's resolution: red and green its own x and
            // y, blue a checkerboard of single pixels.
            const int32_t scale = DeviceScale();
            layer_.resize(40 * scale, 40 * scale);
            for (int32_t y = 0; y < layer_.height; ++y)
                for (int32_t x = 0; x < layer_.width; ++x) layer_.at(x, y) = packPixel(x, y, (x ^ y) & 1 ? 255 : 0);
            SetDeviceLayers({DeviceLayer{Rect(100, 100, 140, 140), Point{100, 100}, &layer_}});
            Invalidate(Rect(100, 100, 140, 140));
            Log("done layer " + std::to_string(scale));
        } else if (command == "ask" || command == "ask yes") {
            Log(AskYesNo("Replace the file?", command == "ask yes", true) ? "answer yes" : "answer no");
        } else if (command == "show") {
            ShowMessage("Unable to save", true);
            Log("shown");
        } else if (command.rfind("title ", 0) == 0) {
            TheWindowManager->SetTitle(String(command.substr(6)));
            Log("done title");
        } else if (command == "popup") {
            auto* popup = new Popup;
            popup->CreateNative("Probe pop-up", {300, 200}, {300, 200}, true);
            popup->BackBuffer().fill(packPixel(200, 0, 0));
            popup->Invalidate();
        } else if (command.rfind("open ", 0) == 0) {
            String folder(command.substr(5)), result;
            bool ok = FileDialog(result, false, true, OpenFilterList(), &folder, nullptr);
            std::string text = result.str();
            std::replace(text.begin(), text.end(), '\0', '|');
            Log(ok ? "opened " + text : "cancelled");
        } else if (command.rfind("save ", 0) == 0) {
            // "save <folder>|<suggested name>"
            size_t bar = command.find('|');
            String folder(command.substr(5, bar - 5)), name(command.substr(bar + 1)), result;
            bool ok = FileDialog(result, true, false, SaveFilterList(), &folder, &name);
            Log(ok ? "saved " + result.str() : "cancelled");
#ifndef _WIN32
        } else if (command.rfind("drop ", 0) == 0) {
            // "drop <uri>|<uri>...": the text/uri-list a file manager sends.
            std::string list = command.substr(5);
            for (size_t bar; (bar = list.find('|')) != std::string::npos;) list.replace(bar, 1, "\r\n");
            gtkbackend::DropUriList(list + "\r\n");
            Log("done drop");
#endif
        }
    }

    Bitmap layer_;
    bool ready_ = false;
    bool active_ = false;
    uint32_t held_ = 0;
};

void StartUp() {
    auto* window = new ProbeWindow;
    window->CreateNative("Vistrel", TheWindowManager->ClientSize(), {800, 600}, false);
    window->Fill();
    window->Invalidate();
}

void TearDown() { Log("teardown"); }

void FilesDropped(const std::vector<String>& paths) {
    std::string line = "dropped";
    for (const String& path : paths) line += " [" + path.str() + "]";
    Log(line);
}

void Command(int32_t id) { Log("command " + std::to_string(id)); if (id == MenuExit) PostQuitMessage(); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    commandPath = argv[1];
    logFile = std::fopen(argv[2], "w");
    if (!logFile) return 2;
    const int status = RunProgram({StartUp, TearDown, Command, FilesDropped});
    Log("exit " + std::to_string(status));
    std::fclose(logFile);
    return status;
}
