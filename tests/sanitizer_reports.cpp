// Linked into every test program. A test that captures stderr to read the
// game's own messages would swallow a sanitizer's report with it, and the run
// would show a bare "Failed": the reports go to the stderr the program
// started with instead.
#if defined(__SANITIZE_ADDRESS__)
#include <cstdint>

#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

namespace {

const int kReportStream = [] {
    const int fd = dup(2);
    if (fd >= 0)
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
    return fd;
}();

} // namespace
#endif
