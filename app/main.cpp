#include "app/application.h"

// The program takes no arguments.
int main() { return RunProgram(VistrelApplication()); }
