// Writes one of the page's generated modules to standard output:
//   page_modules keys        keys.mjs (keys_module.h)
//   page_modules constants   constants.mjs (constants_module.h)
// Built for Node by the browser build, and natively by the desktop build for
// the page's tests run in node alone.
#include <cstring>
#include <iostream>

#include "constants_module.h"
#include "keys_module.h"

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], "keys") == 0)
        orbex::web::writeKeysModule(std::cout);
    else if (argc == 2 && std::strcmp(argv[1], "constants") == 0)
        orbex::web::writeConstantsModule(std::cout);
    else {
        std::cerr << "usage: page_modules keys|constants\n";
        return 2;
    }
    return std::cout.good() ? 0 : 1;
}
