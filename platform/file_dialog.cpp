#include "platform/file_dialog.h"

#include "platform/backend.h"
#include "platform/files.h"
#include "platform/main_loop.h"

#include <algorithm>
#include <cstring>

namespace {

String BuildFilterList(bool withAllTypes) {
    // Description, patterns, and whether the program writes the type.
    struct Pair {
        const char* description;
        const char* patterns;
        bool writable;
    };
    static const Pair pairs[] = {
#if VISTREL_PHOTO_FORMATS
        {"All supported types",
         "*.bmp;*.jpg;*.jpeg;*.png;*.tif;*.tiff;*.tga;*.webp;*.heic;*.heif;*.avif;*.jxl;"
         "*.dng;*.cr2;*.cr3;*.nef;*.arw;*.raf;*.orf;*.rw2;*.pef;*.srw",
         false},
#else
        {"All supported types", "*.bmp;*.jpg;*.jpeg;*.png;*.tif;*.tiff;*.tga", false},
#endif
        {"BMP", "*.bmp", true},
        {"JPG/JPEG", "*.jpg;*.jpeg", true},
        {"PNG", "*.png", true},
        {"TIF/TIFF", "*.tif;*.tiff", true},
        {"TGA", "*.tga", true},
#if VISTREL_PHOTO_FORMATS
        {"WebP", "*.webp", true},
        {"AVIF", "*.avif", true},
        {"JPEG XL", "*.jxl", true},
        {"HEIC/HEIF", "*.heic;*.heif", false},
        {"Camera RAW", "*.dng;*.cr2;*.cr3;*.nef;*.arw;*.raf;*.orf;*.rw2;*.pef;*.srw", false},
#endif
    };
    String list;
    for (size_t i = withAllTypes ? 0 : 1; i < sizeof pairs / sizeof pairs[0]; ++i) {
        if (!withAllTypes && !pairs[i].writable)
            continue;
        for (const char* text : {pairs[i].description, pairs[i].patterns}) {
            list.Append(text);
            list.AppendByte(0);
        }
    }
    list.AppendByte(0);
    return list;
}

// The pairs of a filter list; stops at the terminating empty text.
std::vector<FileFilterPair> ParseFilterList(const String& filter) {
    std::vector<FileFilterPair> pairs;
    int32_t at = 0;
    auto next = [&](String& text) {
        int32_t start = at;
        while (at < filter.length && filter.data[at] != 0)
            ++at;
        text = String(filter.chars() + start, at - start);
        if (at < filter.length)
            ++at;
        return text.length > 0;
    };
    for (;;) {
        FileFilterPair pair;
        if (!next(pair.description))
            break;
        next(pair.patterns);
        pairs.push_back(pair);
    }
    return pairs;
}

bool IsLetter(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The letters of a pattern after its leading "*.", up to the first
// character that is not a letter.
String PatternLetters(const char* pattern, int32_t length) {
    int32_t start = length >= 2 ? 2 : length;
    int32_t end = start;
    while (end < length && IsLetter(static_cast<uint8_t>(pattern[end])))
        ++end;
    return String(pattern + start, end - start);
}

int32_t LastIndexOf(const String& s, uint8_t c) {
    for (int32_t i = s.length - 1; i >= 0; --i) {
        if (s.data[i] == c)
            return i;
    }
    return -1;
}

// The text after the last "/" or "\".
String FileNamePart(const String& path) {
    int32_t cut = LastIndexOf(path, '/');
    int32_t back = LastIndexOf(path, '\\');
    if (back > cut)
        cut = back;
    return String(path.chars() + cut + 1, path.length - cut - 1);
}

int32_t LastSeparator(const String& path) {
    for (int32_t i = path.length - 1; i >= 0; --i) {
        if (IsPathSeparator(path.chars()[i]))
            return i;
    }
    return -1;
}

// The folder of a path, without the trailing separator unless it is the root.
String FolderOf(const String& path) {
    int32_t cut = LastSeparator(path);
    if (cut <= 0)
        return String("/");
    return String(path.chars(), cut);
}

bool IsInside(const String& path, const String& folder) {
    if (folder == "/")
        return path.length > 0 && path.data[0] == '/';
    return path.length > folder.length && IsPathSeparator(path.chars()[folder.length]) &&
           std::memcmp(path.data, folder.data, static_cast<size_t>(folder.length)) == 0;
}

// "folder\0name\0name": every path is folder + separator + name again. Paths
// from different folders share the deepest folder that holds them all, and
// their names keep the rest of the path.
String JoinSelection(const std::vector<String>& paths) {
    String folder = FolderOf(paths[0]);
    for (const String& path : paths) {
        while (folder != "/" && !IsInside(path, folder))
            folder = FolderOf(folder);
    }
    String result = folder;
    int32_t skip = folder == "/" ? 1 : folder.length + 1;
    for (const String& path : paths) {
        result.AppendByte(0);
        result.Append(path.chars() + skip, path.length - skip);
    }
    return result;
}

}  // namespace

const String& OpenFilterList() {
    static const String list = BuildFilterList(true);
    return list;
}

const String& SaveFilterList() {
    static const String list = BuildFilterList(false);
    return list;
}

int32_t FindFilterIndex(const String& name, const String& filter) {
    int32_t dot = LastIndexOf(name, '.');
    if (dot < 0 || dot == name.length - 1)
        return -1;
    String extension(name.chars() + dot + 1, name.length - dot - 1);
    std::vector<FileFilterPair> pairs = ParseFilterList(filter);
    for (size_t i = 0; i < pairs.size(); ++i) {
        const String& patterns = pairs[i].patterns;
        int32_t start = 0;
        while (start <= patterns.length) {
            int32_t end = start;
            while (end < patterns.length && patterns.data[end] != ';')
                ++end;
            String letters = PatternLetters(patterns.chars() + start, end - start);
            if (letters.length > 0 && letters.Compare(extension, false) == 0)
                return static_cast<int32_t>(i);
            start = end + 1;
        }
    }
    return -1;
}

void AppendFilterExtension(String& name, const String& filter, int32_t index) {
    std::vector<FileFilterPair> pairs = ParseFilterList(filter);
    if (index < 0 || static_cast<size_t>(index) >= pairs.size())
        return;
    const String& patterns = pairs[static_cast<size_t>(index)].patterns;
    int32_t end = 0;
    while (end < patterns.length && patterns.data[end] != ';')
        ++end;
    String letters = PatternLetters(patterns.chars(), end);
    if (name.length == 0 || name.data[name.length - 1] != '.')
        name.AppendByte('.');
    name.Append(letters);
}

bool FileDialog(String& result, bool save, bool multiSelect, const String& filter,
                const String* initialFolder, const String* suggestedName) {
    int32_t initialIndex = -1;
    FileDialogRequest request;
    if (suggestedName) {
        request.initialName = *suggestedName;
        initialIndex = FindFilterIndex(*suggestedName, filter);
    }
    request.save = save;
    request.multiSelect = multiSelect;
    request.filters = ParseFilterList(filter);
    request.filterIndex = initialIndex + 1;
    if (initialFolder) {
        request.hasInitialFolder = true;
        request.initialFolder = *initialFolder;
    }

    FileDialogReply reply;
    result.Empty();
    bool confirmed;
    {
        ModalDialogScope modal;
        confirmed = BackendFileDialog(request, reply);
    }
    if (!confirmed || reply.paths.empty() || reply.paths[0].length == 0)
        return false;
    // A path never holds a NUL; a backend that returned one would make the
    // joined form ambiguous.
    for (const String& path : reply.paths) {
        if (path.Contains(0) || path.length == 0)
            return false;
    }

    if (multiSelect) {
        result = reply.paths.size() == 1 ? reply.paths[0] : JoinSelection(reply.paths);
        return true;
    }
    result = reply.paths[0];
    if (!save)
        return true;

    int32_t chosen = reply.filterIndex - 1;
    int32_t found = FindFilterIndex(result, filter);
    if (found == -1) {
        AppendFilterExtension(result, filter, chosen);
    } else {
        String suggested = suggestedName ? *suggestedName : String();
        bool keep = chosen == initialIndex || FileNamePart(result).Compare(suggested, false) != 0;
        if (!keep) {
            result.length = LastIndexOf(result, '.');
            AppendFilterExtension(result, filter, chosen);
        }
    }
    return true;
}
