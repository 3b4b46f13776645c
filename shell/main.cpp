#include <cstdio>

int main() {
    std::puts("KALDOR Console: the window is not built yet.");
    return 0;
}
