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

// Why a file that did not read could not: "it is missing" when nothing of
// that name is there, else "it cannot be read".
std::string ReadFault(const std::string& name);

// The whole content of a file, read in binary. False (and out emptied) when
// the file cannot be opened or a read fails; also, with one line naming the
// file, when it is not a regular file (a device, a pipe) or holds more than
// limit bytes.
bool ReadWholeFile(const std::string& name, std::vector<unsigned char>& out,
                   std::size_t limit = bounded::kMaxFileBytes);

// Stream forms for readers written over iostreams; check is_open() after.
bool OpenInputStream(const std::string& name, std::ifstream& in,
                     std::ios::openmode mode = std::ios::in);
bool OpenOutputStream(const std::string& name, std::ofstream& out,
                      std::ios::openmode mode = std::ios::out | std::ios::trunc);

} // namespace platform
