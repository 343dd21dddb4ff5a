#pragma once

#include "core/strings.h"

// Index of the later of the last '/' and the last '\', or -1 when the path
// has neither.
int32_t LastSeparator(const String& path);

// The name a batch writes its result under: the prepend text goes right
// after the last folder separator (at the very start without one), the
// append text right before the last '.' of the file name. A name without
// '.' gets the append text at its end. changed tells whether anything was
// added, i.e. whether the result differs from the input path.
String BatchOutputPath(const String& input, const String& prepend, const String& append, bool* changed = nullptr);
