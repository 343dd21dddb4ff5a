#pragma once
// Stands in for the steps of the libraries' encoders that can report a failure, so that a writer's handling of one
// can be seen: the named step reports one as its library would. Only glibc builds can put themselves in front of a
// shared library's functions.
#include <cstddef>
#if defined(__GLIBC__)
#define VISTREL_REFUSED_CALLS 1
// From now on the first call of the function `name` fails; "name+N" lets N calls through and fails the next
// (nullptr: none). Returns how many calls failed since the last time.
long RefuseCall(const char* name);
#endif
