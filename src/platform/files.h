// The game names its data the Windows way: relative to the working folder, in
// mixed case and sometimes with backslashes ("Data/XML/CoreModels.xml" and
// "data\\XML\\coremodels.xml" are the same file). Linux file names are
// case-sensitive, so every file the game opens - reads and writes alike - goes
// through these functions and never through fopen/ifstream with a raw name.
// Nothing is cached: each call looks at the disk as it is now, touching a
// folder's listing only when the exact spelling of a name is not there.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/bounded.h"

namespace platform {

// The on-disk path for a game file name. Backslashes become '/', then each
// component is looked up in its parent folder: the exact spelling first, then
// a case-insensitive match (ASCII letters only). When a component is not found
// it and everything after it are kept as given, so that a file can be created
// there. Absolute names resolve from "/", relative ones from the working
// folder; "." and ".." are kept as they are.
std::string ResolvePath(const std::string& name);

// fopen of the resolved name. For writing ("w", "a", "wb+"...), a file that
// already exists under another case is the one opened, and a new file is
// created inside the folder found case-insensitively. Null when fopen fails.
FILE* OpenFile(const std::string& name, const char* mode);

// True when the name resolves to an existing regular file (not a folder).
bool FileExists(const std::string& name);

// True when the name resolves to something on disk: a file, a folder, a device.
bool PathExists(const std::string& name);

// Why a file that did not read could not, in a few words: "it is missing",
// "it is a folder, not a file", "it is a symbolic link that loops", "it is a
// symbolic link to nothing", "it is not a regular file", or "it cannot be
// read (<the system's reason>)".
std::string ReadFault(const std::string& name);

// The whole content of a file, read in binary. False (and out emptied) when
// the file cannot be read whole. Given a fault, the reason goes there (in
// ReadFault's words, or "it is larger than <limit> bytes") and nothing is
// said; without one, every reason but a missing file is said once a run in
// one line naming the file.
bool ReadWholeFile(const std::string& name, std::vector<unsigned char>& out,
                   std::size_t limit = bounded::kMaxFileBytes, std::string* fault = nullptr);

// Stream forms for readers written over iostreams; check is_open() after.
bool OpenInputStream(const std::string& name, std::ifstream& in,
                     std::ios::openmode mode = std::ios::in);
bool OpenOutputStream(const std::string& name, std::ofstream& out,
                      std::ios::openmode mode = std::ios::out | std::ios::trunc);

} // namespace platform
