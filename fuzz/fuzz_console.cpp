// Any bytes typed into the debug console, as the console hands them on: each
// Return (13) ends a line that the script host runs with the whole script
// API bound; the last line runs too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "script/ScriptHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool started = (getScriptHost().Init(), true);
    (void)started;
    std::string line;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == 13) {
            getScriptHost().RunCommand(line);
            line.clear();
        } else if (data[i] == 8) {
            if (!line.empty())
                line.pop_back();
        } else {
            line += static_cast<char>(data[i]);
        }
    }
    return 0;
}
