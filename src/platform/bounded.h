// The one rule of every reader of the game's data: a size or count found in a
// file is a limit checked against what the file really holds, never an
// allocation taken on trust; nesting and element counts stay bounded; every
// number is range-checked without exceptions or signed overflow; and a file
// that breaks the rule is refused with one line naming the file and the
// fault, after which the game goes on as it does for a missing file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bounded {

// Shared ceilings. A data file of the game is a few megabytes at most; these
// leave an order of magnitude of room and still keep a hostile file cheap.
constexpr std::size_t kMaxFileBytes = 256u << 20;  // any file read whole
constexpr int kMaxXmlDepth = 64;                   // element nesting
constexpr std::size_t kMaxXmlElements = 1u << 20;  // elements in one document
constexpr int kMaxImageSide = 8192;                // texels on a side

// A whole decimal (or 0x hex) integer in [low, high], surrounding blanks
// allowed. False for anything else: empty, trailing junk, out of range.
bool ParseInt(const std::string& text, long long low, long long high, long long* out);

// A whole finite number in [low, high], read in the "C" locale.
bool ParseFloat(const std::string& text, double low, double high, double* out);

// A count a file announces, taken as a limit: never below 0, never above cap.
std::size_t Limit(long long claimed, std::size_t cap);

// Arithmetic that says when the result does not fit instead of wrapping (or,
// for division, trapping on a zero divisor or INT64_MIN / -1).
bool Add(std::int64_t a, std::int64_t b, std::int64_t* out);
bool Sub(std::int64_t a, std::int64_t b, std::int64_t* out);
bool Mul(std::int64_t a, std::int64_t b, std::int64_t* out);
bool Div(std::int64_t a, std::int64_t b, std::int64_t* out);

// The line a refused file leaves: "<file>: refused: <fault>".
std::string Refusal(const std::string& file, const std::string& fault);
// Writes that line (with its newline) to the debug output.
void Refuse(const std::string& file, const std::string& fault);

// "<what>: <name>" on the debug output, the first time that pair is asked
// for only: a missing name looked up every frame must not flood the output.
// Names longer than kMaxEchoedName are cut with "...". Past kMaxReported
// distinct lines, nothing more is said.
constexpr std::size_t kMaxEchoedName = 200;
constexpr std::size_t kMaxReported = 4096;
void ReportMissingOnce(const std::string& what, const std::string& name);
// The line (a newline is added) on the debug output unless it was said
// before in this run; the same kMaxReported bound.
void SayOnce(const std::string& line);
// Forgets every line said so far: the next start of the game reads its data
// again and names each fault again.
void ForgetSaidLines();
// A name as it may be echoed: cut to kMaxEchoedName with "...".
std::string Echoed(const std::string& name);

// The faults a reader finds in the entries of one file, said once the file is
// read: one line per distinct fault however many entries have it, through
// SayOnce, so that a file read again at every level load is named once.
//   "<file>: <fault> (<entry>)"
//   "<file>: <fault> (<n> times: <entry>, <entry>, ... and <m> more)"
// The entries come in the order they were found; at most kTallyEntries are
// listed.
class FaultTally {
public:
    static constexpr std::size_t kTallyEntries = 5;
    void Add(const std::string& fault, const std::string& entry);
    // Says every line and forgets them.
    void SayAll(const std::string& file);
    // The lines SayAll would say, forgotten here: for a reader that keeps
    // them to say again when its file is not read again.
    std::vector<std::string> TakeLines(const std::string& file);
    bool Empty() const { return m_Faults.empty(); }

private:
    struct Fault {
        std::string text;
        std::size_t count = 0;
        std::string entries;
    };
    std::vector<Fault> m_Faults;
    std::map<std::string, std::size_t> m_Index;
};

} // namespace bounded
