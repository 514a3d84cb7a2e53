// orbex-modgen: writes one of the two demo tracker modules, for the sample
// magazine and for trying the player by hand.
#include <cstdio>
#include <cstring>

#include "demo_module.h"

int main(int argc, char **argv) {
    if (argc != 3 || (std::strcmp(argv[2], "0") != 0 && std::strcmp(argv[2], "1") != 0)) {
        std::fprintf(stderr, "usage: orbex-modgen FILE.xm 0|1   (0: low and slow, 1: high and quick)\n");
        return 2;
    }
    if (!orbex::writeDemoModule(argv[1], argv[2][0] - '0')) {
        std::fprintf(stderr, "orbex-modgen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
