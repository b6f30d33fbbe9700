// datagen WORKING_FOLDER: lays out the game's generated data in the folder.
#include <cstdio>
#include <iostream>

#include "datagen/Generator.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: datagen WORKING_FOLDER\n");
        return 2;
    }
    datagen::Output out(argv[1]);
    const bool ok = datagen::RunSteps(datagen::AllSteps(), out, std::cerr);
    std::printf("datagen: %d files written, %d unchanged%s\n", out.Written(), out.Unchanged(),
                ok ? "" : ", FAILED");
    return ok ? 0 : 1;
}
