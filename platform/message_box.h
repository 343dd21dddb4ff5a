#pragma once

#include "core/strings.h"

// Modal message boxes captioned "Vistrel". The windows keep repainting while
// one is open, but no frame runs until it is answered.

// One OK button; the warning icon if warning, else no icon.
void ShowMessage(const String& text, bool warning);

// Yes and No; the warning icon if warning, else the question icon. No is the
// default button unless yesIsDefault. True only when the user chose Yes.
bool AskYesNo(const String& text, bool yesIsDefault, bool warning);
