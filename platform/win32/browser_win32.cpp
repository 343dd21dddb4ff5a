#include "platform/browser.h"
#include "platform/backend.h"
#include "platform/win32/command_line_win32.h"
#include "platform/win32/utf8_win32.h"

#include <windows.h>

namespace {

constexpr DWORD CommandBufferBytes = 1024;

// The default value of "http\shell\open\command" under the classes root.
bool ReadBrowserCommand(std::wstring& command) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    wchar_t buffer[CommandBufferBytes / sizeof(wchar_t)];
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    LONG status = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buffer[bytes / sizeof(wchar_t)] = L'\0';
    command = buffer;
    if (type == REG_EXPAND_SZ) {
        wchar_t expanded[CommandBufferBytes];
        DWORD n = ExpandEnvironmentStringsW(buffer, expanded, CommandBufferBytes);
        if (n == 0 || n > CommandBufferBytes)
            return false;
        command = expanded;
    }
    return !command.empty();
}

bool StartProcess(const std::string& commandLine) {
    std::wstring wide = WideFromUtf8(commandLine);
    if (wide.empty())
        return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    // The browser runs on its own; nothing waits for it.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

bool OpenInBrowser(const String& target) {
    std::wstring command;
    if (ReadBrowserCommand(command) && StartProcess(BrowserCommandLine(Utf8FromWide(command), target.str())))
        return true;
    return BackendOpenWithDesktop(target);
}
