#include "platform/browser.h"
#include "platform/backend.h"
#include "platform/win32/command_line_win32.h"
#include "platform/win32/utf8_win32.h"

#include <windows.h>
#include <shlwapi.h>

namespace {

// The command the user's default browser opens "http" links with (on
// Windows 10 and later the choice under "Default apps", not just the
// classes root), its environment variables expanded.
bool ReadBrowserCommand(std::wstring& command) {
    DWORD n = 0;
    HRESULT status = AssocQueryStringW(ASSOCF_IS_PROTOCOL, ASSOCSTR_COMMAND, L"http", L"open", nullptr, &n);
    if ((status != S_OK && status != S_FALSE) || n <= 1)
        return false;
    std::wstring stored(n, L'\0');
    if (AssocQueryStringW(ASSOCF_IS_PROTOCOL, ASSOCSTR_COMMAND, L"http", L"open", &stored[0], &n) != S_OK)
        return false;
    stored.resize(wcslen(stored.c_str()));
    DWORD size = ExpandEnvironmentStringsW(stored.c_str(), nullptr, 0);
    if (size == 0)
        return false;
    command.assign(size, L'\0');
    size = ExpandEnvironmentStringsW(stored.c_str(), &command[0], size);
    command.resize(wcslen(command.c_str()));
    return size != 0 && !command.empty();
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
