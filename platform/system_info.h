#pragma once

#include <cstdint>

// Bytes of physical memory of this machine (0 when unknown).
uint64_t PhysicalMemoryBytes();

// Whether standard error is a terminal (live progress lines make sense).
bool StandardErrorIsTerminal();
