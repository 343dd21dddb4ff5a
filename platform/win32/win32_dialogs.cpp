// Message boxes, the common Open and Save As dialogs and the shell's "open"
// verb. Text crosses into Windows as UTF-16.

#include "platform/backend.h"
#include "platform/win32/win32_state.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

using win32backend::Utf8;
using win32backend::Wide;

namespace {

// The dialog's file buffer, in characters: room for about 10,000 camera
// names at first, four times that after a selection did not fit.
constexpr DWORD FileBufferSize = 1u << 18;
constexpr DWORD LargestFileBuffer = 1u << 22;

// Windows folders are separated by "\"; a path typed with "/" still works,
// but the dialog only opens a folder given with "\".
std::wstring NativeFolder(const String& folder) {
    std::wstring wide = Wide(folder);
    for (wchar_t& c : wide) {
        if (c == L'/')
            c = L'\\';
    }
    return wide;
}

// "description\0patterns\0...\0\0"
std::wstring FilterList(const std::vector<FileFilterPair>& filters) {
    std::wstring list;
    for (const FileFilterPair& pair : filters) {
        list += Wide(pair.description);
        list += L'\0';
        list += Wide(pair.patterns);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

}  // namespace

bool BackendMessageBox(const MessageBoxRequest& request) {
    UINT type = request.yesNo ? MB_YESNO : MB_OK;
    if (request.icon == MessageIcon::Warning)
        type |= MB_ICONEXCLAMATION;
    else if (request.icon == MessageIcon::Question)
        type |= MB_ICONQUESTION;
    if (request.yesNo)
        type |= request.yesIsDefault ? MB_DEFBUTTON1 : MB_DEFBUTTON2;
    int answer = MessageBoxW(win32backend::MainWindow(), Wide(request.text).c_str(), Wide(request.caption).c_str(),
                             type);
    return request.yesNo && answer == IDYES;
}

bool BackendFileDialog(const FileDialogRequest& request, FileDialogReply& reply) {
    DWORD bufferSize = FileBufferSize;
    std::wstring buffer;
    std::wstring name = Wide(request.initialName);
    std::wstring filter = FilterList(request.filters);
    std::wstring folder = NativeFolder(request.initialFolder);

    OPENFILENAMEW ofn = {};
    BOOL confirmed = FALSE;
    for (;;) {
        buffer.assign(bufferSize, L'\0');
        if (name.size() < bufferSize)
            name.copy(&buffer[0], name.size());
        ofn = {};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = win32backend::MainWindow();
        ofn.lpstrFilter = request.filters.empty() ? nullptr : filter.c_str();
        ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
        ofn.lpstrFile = &buffer[0];
        ofn.nMaxFile = bufferSize;
        ofn.lpstrInitialDir = request.hasInitialFolder ? folder.c_str() : nullptr;
        // The program asks its own question before replacing a file. The
        // dialog leaves the working folder alone: command-line paths were made
        // absolute, but a relative one must keep meaning what it did.
        ofn.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        if (request.multiSelect && !request.save)
            ofn.Flags |= OFN_EXPLORER | OFN_ALLOWMULTISELECT;
        confirmed = request.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
        if (confirmed || CommDlgExtendedError() != FNERR_BUFFERTOOSMALL)
            break;
        // The selection did not fit: say so, not a silent Cancel, and let
        // the user choose again with room for four times as many names.
        if (bufferSize >= LargestFileBuffer) {
            MessageBoxW(ofn.hwndOwner, L"Too many files were selected at once. Please choose fewer files.",
                        L"Vistrel", MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        MessageBoxW(ofn.hwndOwner,
                    L"Too many files were selected at once for the dialog to hand over. Please choose them again.",
                    L"Vistrel", MB_OK | MB_ICONEXCLAMATION);
        bufferSize *= 4;
    }
    if (!confirmed || buffer[0] == L'\0')
        return false;

    // One file is its path; several are the folder, then each name, every
    // one ended by a NUL and the whole by one more.
    const wchar_t* first = buffer.c_str();
    const wchar_t* next = first + std::wcslen(first) + 1;
    if (!(ofn.Flags & OFN_ALLOWMULTISELECT) || *next == L'\0') {
        reply.paths.push_back(Utf8(first));
    } else {
        String base = Utf8(first);
        if (base.length > 0 && base.data[base.length - 1] != '\\')
            base.AppendByte('\\');
        for (; *next; next += std::wcslen(next) + 1) {
            String path = base;
            path.Append(Utf8(next));
            reply.paths.push_back(path);
        }
    }
    reply.filterIndex = static_cast<int32_t>(ofn.nFilterIndex);
    return true;
}

bool BackendOpenWithDesktop(const String& target) {
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(win32backend::MainWindow(), L"open", Wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    // Values above 32 mean the shell started something.
    return result > 32;
}
