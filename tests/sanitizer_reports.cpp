// Linked into every test program. A test that captures stderr to read the
// game's own messages would swallow a sanitizer's report with it, and the run
// would show a bare "Failed": the reports go to the stderr the program
// started with instead.
#include <cstdint>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define VANTOREL_TESTS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTOREL_TESTS_SANITIZED 1
#endif
#endif

#ifdef VANTOREL_TESTS_SANITIZED
#include <sanitizer/common_interface_defs.h>

namespace {

const int kReportStream = [] {
    const int fd = dup(2);
    if (fd >= 0)
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
    return fd;
}();

} // namespace
#endif
