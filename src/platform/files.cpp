#include "platform/files.h"

#include "platform/bounded.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(const char* a, const std::string& b)
{
    size_t i = 0;
    for (; a[i] != '\0'; ++i) {
        if (i >= b.size() || LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return i == b.size();
}

// The folder path to hand to the file system for a base built so far: the
// working folder is "" while resolving a relative name.
std::string Join(const std::string& base, const std::string& component)
{
    if (base.empty())
        return component;
    if (base.back() == '/')
        return base + component;
    return base + "/" + component;
}

bool NameExists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The entry of folder whose name equals component but for case. When several
// do (a folder holding both "Data" and "DATA"), the same one is chosen every
// time: the first in byte order, whatever order the folder lists them in.
bool FindIgnoringCase(const std::string& folder, const std::string& component, std::string& found)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return false;
    bool any = false;
    while (const dirent* entry = readdir(dir)) {
        if (!EqualsIgnoringCase(entry->d_name, component))
            continue;
        if (!any || std::strcmp(entry->d_name, found.c_str()) < 0)
            found = entry->d_name;
        any = true;
    }
    closedir(dir);
    return any;
}

} // namespace

std::string ResolvePath(const std::string& name)
{
    std::string path = name;
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }

    std::string resolved;  // what is returned, built component by component
    std::string base;      // the same, as far as it names things that exist
    size_t start = 0;
    if (!path.empty() && path[0] == '/') {
        resolved = "/";
        base = "/";
        start = 1;
    }

    bool resolving = true;
    bool first = true;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        std::string component = path.substr(start, slash - start);
        start = slash + 1;

        if (resolving && !component.empty() && component != "." && component != "..") {
            if (!NameExists(Join(base, component))) {
                std::string found;
                if (FindIgnoringCase(base, component, found))
                    component = found;
                else
                    resolving = false;  // keep the rest as given
            }
        }
        if (!first)
            resolved += '/';
        resolved += component;
        first = false;
        if (resolving && !component.empty())
            base = Join(base, component);
        if (slash == path.size())
            break;
    }
    return resolved;
}

FILE* OpenFile(const std::string& name, const char* mode)
{
    if (!mode)
        return nullptr;
    return std::fopen(ResolvePath(name).c_str(), mode);
}

bool FileExists(const std::string& name)
{
    struct stat st;
    return stat(ResolvePath(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathExists(const std::string& name)
{
    struct stat st;
    return stat(ResolvePath(name).c_str(), &st) == 0;
}

namespace {

// What stands under a name that is no readable file, in a few words.
std::string WhatIsThere(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        const int error = errno;
        struct stat link;
        if (error == ELOOP)
            return "it is a symbolic link that loops";
        if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            return "it is a symbolic link to nothing";
        if (error == ENOENT || error == ENOTDIR)
            return "it is missing";
        return std::string("it cannot be reached (") + std::strerror(error) + ")";
    }
    if (S_ISDIR(info.st_mode))
        return "it is a folder, not a file";
    if (!S_ISREG(info.st_mode))
        return "it is not a regular file";
    return std::string();
}

} // namespace

std::string ReadFault(const std::string& name)
{
    const std::string path = ResolvePath(name);
    std::string fault = WhatIsThere(path);
    if (!fault.empty())
        return fault;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return std::string("it cannot be read (") + std::strerror(errno) + ")";
    std::fclose(file);
    return "it cannot be read";
}

bool ReadWholeFile(const std::string& name, std::vector<unsigned char>& out, std::size_t limit, std::string* fault)
{
    out.clear();
    // A link to a device or a pipe never ends, a folder opens on Linux, and a
    // file past the limit is none of ours: each is refused before anything
    // is read.
    const std::string path = ResolvePath(name);
    std::string why = WhatIsThere(path);
    FILE* file = why.empty() ? std::fopen(path.c_str(), "rb") : nullptr;
    struct stat info;
    if (why.empty() && !file)
        why = std::string("it cannot be read (") + std::strerror(errno) + ")";
    else if (file && (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)))
        why = "it is not a regular file";
    else if (file && static_cast<unsigned long long>(info.st_size) > limit)
        why = "it is larger than " + std::to_string(limit) + " bytes";
    if (!why.empty()) {
        if (file)
            std::fclose(file);
        if (fault)
            *fault = why;
        // A missing file is the caller's to name: many look for files that
        // need not be there.
        else if (why != "it is missing")
            bounded::SayOnce(bounded::Refusal(bounded::Echoed(name), why));
        return false;
    }
    out.reserve(static_cast<std::size_t>(info.st_size));
    unsigned char buffer[16384];
    size_t got;
    bool failed = false;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (out.size() + got > limit) { // grew while we read it
            failed = true;
            break;
        }
        out.insert(out.end(), buffer, buffer + got);
    }
    failed = failed || std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        out.clear();
        if (fault)
            *fault = "it cannot be read";
    }
    return !failed;
}

bool OpenInputStream(const std::string& name, std::ifstream& in, std::ios::openmode mode)
{
    if (in.is_open())
        in.close();
    in.clear();
    in.open(ResolvePath(name), mode | std::ios::in);
    return in.is_open();
}

bool OpenOutputStream(const std::string& name, std::ofstream& out, std::ios::openmode mode)
{
    if (out.is_open())
        out.close();
    out.clear();
    out.open(ResolvePath(name), mode | std::ios::out);
    return out.is_open();
}

} // namespace platform
