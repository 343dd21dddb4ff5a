#pragma once

#include "core/strings.h"

#include <cstdint>
#include <vector>

// Filter lists are (description, patterns) pairs, every text ended by a NUL
// and the whole list by one more, e.g. "PNG\0*.png\0TGA\0*.tga\0\0".
// The open dialog's list, "All supported types" first, then one per type.
const String& OpenFilterList();
// The save dialog's list: one pair per type, no "All supported types".
const String& SaveFilterList();

// The 0-based pair whose patterns hold the name's extension (compared
// without case), or -1; a name without a "." or ending in one has none.
int32_t FindFilterIndex(const String& name, const String& filter);

// Appends the first extension of the pair at index ("." first unless the
// name already ends in one). An index outside the list appends nothing.
void AppendFilterExtension(String& name, const String& filter, int32_t index);

// Shows the open (save false) or save dialog, modal, with the filter list,
// starting in initialFolder and with suggestedName (either may be null).
// On success result holds the chosen path. With multiSelect, choosing
// several files gives the folder and the file names separated by NUL
// characters ("folder\0a.jpg\0b.jpg"); one file gives its path alone.
// A saved name gets the extension of the chosen type when it has no listed
// one, or when the user switched the type and kept the suggested name.
// Cancelled: result is empty and the answer false.
bool FileDialog(String& result, bool save, bool multiSelect, const String& filter,
                const String* initialFolder, const String* suggestedName);
