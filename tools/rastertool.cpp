// rastertool: loads a picture, applies operations, saves it. Built out in a later change.
#include <cstdio>

int main() {
    std::fprintf(stderr, "rastertool: not built yet\n");
    return 1;
}
