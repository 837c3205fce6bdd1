// The desktop program: one window, the benchmark behind its start button.
// The command line is not read.
#include "app/Startup.h"

int main() { return qmk::RunDesktopProgram(); }
