// The main of every test program. Before any test runs, the program moves
// into its own scratch folder in the build tree (VANTOREL_SCRATCH_DIR, one
// per program), so that whatever a test writes by a relative name lands
// there, whichever folder the program was started from: never in the
// project's source tree. It also draws offscreen and plays into no sound
// device unless told otherwise, as CTest runs it: the tests CTest discovers
// in a program receive only the first of the variables CTest is given for
// them, and a program started by hand none.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::error_code error;
    std::filesystem::create_directories(VANTOREL_SCRATCH_DIR, error);
    if (!error)
        std::filesystem::current_path(VANTOREL_SCRATCH_DIR, error);
    if (error) {
        std::fprintf(stderr, "cannot work in the scratch folder %s: %s\n", VANTOREL_SCRATCH_DIR,
                     error.message().c_str());
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
