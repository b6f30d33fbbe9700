#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: datagen WORKING_FOLDER\n");
        return 2;
    }
    return 0;
}
