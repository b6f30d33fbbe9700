// Linked into every benchmark program: before anything else it prints the
// machine its figures belong to (the processor's name, whether it has AVX2,
// the cores the program may run on, the load average and the command), since
// a figure means nothing without them.
#include <sched.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace {

// "0-3,6,7" style: runs of three or more cores as ranges.
std::string AllowedCores(const cpu_set_t& set, int& count)
{
    std::string list;
    count = 0;
    for (int core = 0; core < CPU_SETSIZE; ++core) {
        if (!CPU_ISSET(core, &set))
            continue;
        int last = core;
        while (last + 1 < CPU_SETSIZE && CPU_ISSET(last + 1, &set))
            ++last;
        count += last - core + 1;
        if (!list.empty())
            list += ',';
        list += std::to_string(core);
        if (last == core + 1)
            list += ',' + std::to_string(last);
        else if (last > core)
            list += '-' + std::to_string(last);
        core = last;
    }
    return list;
}

// The first value of a /proc/cpuinfo field, and whether the flags name AVX2.
std::string Processor(bool& avx2)
{
    std::ifstream in("/proc/cpuinfo");
    std::string line, name = "unknown processor";
    bool named = false, flagged = false;
    avx2 = false;
    while (std::getline(in, line) && !(named && flagged)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string field = line.substr(0, line.find_last_not_of(" \t", colon - 1) + 1);
        const std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
        if (field == "model name" && !named) {
            name = value;
            named = true;
        } else if (field == "flags" && !flagged) {
            avx2 = (' ' + value + ' ').find(" avx2 ") != std::string::npos;
            flagged = true;
        }
    }
    return name;
}

std::string Command()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string command, word;
    while (std::getline(in, word, '\0')) {
        if (!command.empty())
            command += ' ';
        command += command.empty() ? word.substr(word.find_last_of('/') + 1) : word;
    }
    return command;
}

const bool kPrinted = [] {
    bool avx2 = false;
    const std::string processor = Processor(avx2);
    cpu_set_t set;
    CPU_ZERO(&set);
    int count = 0;
    const std::string cores = sched_getaffinity(0, sizeof set, &set) == 0 ? AllowedCores(set, count) : "?";
    std::string load = "?";
    std::getline(std::ifstream("/proc/loadavg") >> std::ws, load);
    load = load.substr(0, load.find(' ', load.find(' ', load.find(' ') + 1) + 1));
    std::printf("machine: %s%s; may run on %d core%s (%s) of %u; load average %s\ncommand: %s\n",
                processor.c_str(), avx2 ? ", AVX2" : "", count, count == 1 ? "" : "s", cores.c_str(),
                std::thread::hardware_concurrency(), load.c_str(), Command().c_str());
    std::fflush(stdout);
    return true;
}();

} // namespace
