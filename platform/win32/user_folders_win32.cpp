#include "platform/user_folders.h"
#include "platform/win32/utf8_win32.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

bool FolderIsWritable(const String& folder) {
    std::wstring wide;
    if (folder.length <= 0 || !WideFromUtf8(folder.chars(), static_cast<size_t>(folder.length), wide))
        return false;
    if (wide.back() != L'\\' && wide.back() != L'/')
        wide += L'\\';
    wchar_t name[40];
    wsprintfW(name, L"~vistrel-probe-%lu-%lu.tmp", GetCurrentProcessId(), GetTickCount());
    HANDLE probe = CreateFileW((wide + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_EXISTS;  // someone else's probe: the folder takes files
    CloseHandle(probe);
    return true;
}

String PicturesFolder() {
    PWSTR path = nullptr;
    String result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Pictures, KF_FLAG_CREATE, nullptr, &path)) && path)
        result = String(Utf8FromWide(path, wcslen(path)));
    CoTaskMemFree(path);
    return result;
}
