// Writes the page's keys.mjs to standard output (web/CMakeLists.txt).
#include <iostream>

#include "keys_module.h"

int main() {
    orbex::web::writeKeysModule(std::cout);
    return std::cout.good() ? 0 : 1;
}
