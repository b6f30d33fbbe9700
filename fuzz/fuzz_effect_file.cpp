// Any bytes as an effect file: the technique/pass reader, the uniform
// declarations of every code block it finds, and the compiler-log rewriting
// (whose source numbers a "#line" in the file can set).
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/d3dx9effect_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace platform::fxfile;
    const std::string text(reinterpret_cast<const char*>(data), size);
    File file;
    std::string error;
    if (Parse(text, "fuzz.fx", file, error)) {
        for (const CodeBlock& block : file.shared)
            FindUniforms(block.code);
    }
    FindUniforms(text);
    RewriteCompilerLog(text, "fuzz.fx");
    return 0;
}
