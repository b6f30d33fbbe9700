// Any bytes as an XML document, read the way the game's readers read one:
// every attribute through every getter.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "xml/XMLParser.h"

namespace {

struct EveryGetter : CXMLParser {
    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override
    {
        for (const auto& attribute : attributes) {
            const char* key = attribute.first.c_str();
            attributes.GetInt(key, 0);
            attributes.GetFloat(key, 0.0f);
            attributes.GetBool(key, false);
            attributes.GetVect3f(key, 0.0f, 0.0f, 0.0f);
            D3DXMATRIX m;
            attributes.GetMatrix(key, m);
        }
        if (name == "refuse")
            RefuseFile("a refusing element");
        if (name == "stop")
            m_StopParsing = true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    EveryGetter reader;
    reader.Parse(in, "fuzz.xml");
    return 0;
}
