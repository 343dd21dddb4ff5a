#pragma once

#include "core/strings.h"

// Whether a new file can be made in the folder, found by making (and at
// once removing) one: permissions alone do not tell on Windows, where
// Program Files refuses ordinary users whatever the attributes say. False
// for a missing folder.
bool FolderIsWritable(const String& folder);

// The user's own Pictures folder (Windows' known folder; on Linux the
// desktop's XDG pictures folder, else ~/Pictures, else the home folder);
// empty when there is none.
String PicturesFolder();
