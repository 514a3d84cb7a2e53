// orbex-modgen: writes one of the two demo tracker modules, for the sample
// magazine and for trying the player by hand.
#include <cstdio>

#include "commandline.h"
#include "demo_module.h"

int main(int argc, char **argv) {
    CLI::App app{"Writes a small demo tracker module (FastTracker 2 .xm) that the viewer can play.", "orbex-modgen"};
    app.set_version_flag("--version", "orbex-modgen " ORBEX_VERSION);
    std::string path;
    int variant = 0;
    app.add_option("FILE.xm", path, "the module to write")->required();
    app.add_option("VARIANT", variant, "0: low and slow, 1: high and quick")->required()->check(CLI::IsMember({0, 1}));
    if (auto status = orbex::parseCommandLine(app, argc, argv, "orbex-modgen --help for more"))
        return *status;
    if (!orbex::writeDemoModule(path, variant)) {
        std::fprintf(stderr, "orbex-modgen: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
