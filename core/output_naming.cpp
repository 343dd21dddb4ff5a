#include "core/output_naming.h"

int32_t LastSeparator(const String& path) {
    for (int32_t i = path.length - 1; i >= 0; --i)
        if (path.data[i] == '/' || path.data[i] == '\\')
            return i;
    return -1;
}

String BatchOutputPath(const String& input, const String& prepend, const String& append, bool* changed) {
    String path = input;
    bool added = false;
    if (prepend.length > 0) {
        const int32_t at = LastSeparator(path) + 1;
        String result(path.chars(), at);
        result.Append(prepend);
        result.Append(path.chars() + at, path.length - at);
        path = result;
        added = true;
    }
    if (append.length > 0) {
        // Only a dot inside the file name starts an extension; a dot in a
        // folder name is not one.
        const int32_t nameStart = LastSeparator(path) + 1;
        int32_t dot = -1;
        for (int32_t i = path.length - 1; i >= nameStart; --i)
            if (path.data[i] == '.') {
                dot = i;
                break;
            }
        if (dot < 0)
            dot = path.length;
        String result(path.chars(), dot);
        result.Append(append);
        result.Append(path.chars() + dot, path.length - dot);
        path = result;
        added = true;
    }
    if (changed)
        *changed = added;
    return path;
}
