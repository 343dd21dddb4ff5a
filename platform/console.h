#pragma once

// Readies standard output and error for the program's UTF-8 text and the
// progress line's escape codes. On a Windows console that means the UTF-8
// output code page and virtual-terminal processing, both put back as they
// were when the program ends; output into a pipe or a file, and every other
// system, is left alone (its bytes go out unchanged). False when standard
// error is a console that cannot take escape codes (an older Windows): the
// progress then goes one line per file.
bool PrepareConsoleOutput();
