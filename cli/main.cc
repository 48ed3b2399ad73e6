// fetchwell: the command-line front end of the engine.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/core/engine_loader.h"

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)) {
        corvalin::EngineLoader engine;
        if (!engine.Load()) {
            std::fprintf(stderr, "fetchwell: %s\n", engine.error().c_str());
            return 3;
        }
        std::printf("fetchwell engine %s (%s)\n", engine.Version().c_str(), engine.path().c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: fetchwell --version\n");
    return 2;
}
