// Whether this machine runs the build's Windows programs: the test script
// starts this one first and skips the suites when it cannot run (the
// emulator then exits with the skip status and says why).
#include <cstdio>

int main() {
    std::printf("%d-bit Windows programs run here\n", static_cast<int>(sizeof(void*) * 8));
    return 0;
}
