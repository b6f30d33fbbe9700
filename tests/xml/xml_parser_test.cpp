#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "xml/XMLParser.h"
#include "xml/temp_folder.h"

namespace {

// Writes down every tag; stops at, or throws on, the element so named.
struct Recorder : CXMLParser {
    std::vector<std::string> events;
    std::string text, stopAt, throwAt;

    void OnStartElement(const std::string& name, CXMLAttributes&) override
    {
        events.push_back("<" + name);
        m_StopParsing = name == stopAt;
        if (name == throwAt)
            throw std::runtime_error("handler failed");
    }
    void OnCharacterData(const std::string& piece) override { text += piece; }
    void OnEndElement(const std::string& name) override { events.push_back(">" + name); }
    bool Saw(const std::string& event) const
    {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    bool ParseText(const std::string& xml, const char* name = "memory")
    {
        std::istringstream in(xml);
        return Parse(in, name);
    }
};

std::string ErrorFor(const std::string& expatText, int line, const std::string& name)
{
    return "XML Parser error '" + expatText + "' at line " + std::to_string(line) +
           " when processing input stream( " + name + " )\n";
}

} // namespace

TEST(XMLParser, FindsTheFileWhateverCaseAndSlashesTheNameUseAndNamesAMissingOne)
{
    TempFolder dir;
    dir.Write("data/XML/sample.xml", "<?xml version=\"1.0\"?>\n<ROOT>\n  <ITEM/>\n  <TEXT>hi</TEXT>\n</ROOT>\n");
    Recorder reader;
    ASSERT_TRUE(reader.LoadXML(dir / "DATA\\xml\\Sample.XML")) << reader.GetErrorText();
    EXPECT_TRUE(reader.GetErrorText().empty());
    EXPECT_EQ(reader.events, (std::vector<std::string>{"<ROOT", "<ITEM", ">ITEM", "<TEXT", ">TEXT", ">ROOT"}));
    EXPECT_NE(reader.text.find("hi"), std::string::npos);

    reader.events.clear();
    for (const std::string& path : {dir / "nowhere/absent.xml", dir / "data"}) {
        EXPECT_FALSE(reader.LoadXML(path));
        EXPECT_EQ(reader.GetErrorText(), "XML File " + path + " not found");
    }
    EXPECT_TRUE(reader.events.empty());
}

TEST(XMLParser, ErrorsNameExpatsTextTheLineAndTheFile)
{
    TempFolder dir;
    Recorder reader;
    const std::string broken = dir.Write("broken.xml", "<root>\n  <a>\n  </b>\n</root>\n");
    EXPECT_FALSE(reader.LoadXML(broken));
    EXPECT_EQ(reader.GetErrorText(), ErrorFor("mismatched tag", 3, broken));
    EXPECT_TRUE(reader.Saw("<a")) << "what came before the error stays handled";

    // Input that ends before the document does is an error, not a success.
    const std::string empty = dir.Write("empty.xml", "");
    EXPECT_FALSE(reader.LoadXML(empty));
    EXPECT_EQ(reader.GetErrorText(), ErrorFor("no element found", 1, empty));
    const std::string cut = dir.Write("cut.xml", "<root>\n<a x=\"1\"/>\n<b>half");
    EXPECT_FALSE(reader.LoadXML(cut));
    EXPECT_NE(reader.GetErrorText().find("line 3 when processing input stream( " + cut + " )"), std::string::npos);
    EXPECT_FALSE(reader.ParseText("<!-- no root -->\n"));

    EXPECT_FALSE(reader.ParseText("<a>\n</b>", nullptr));
    EXPECT_EQ(reader.GetErrorText(), ErrorFor("mismatched tag", 2, "<UNNAMED>"));
}

TEST(XMLParser, DocumentsOnAndAroundTheChunkSizeParseWholeAndCutOnesFail)
{
    // Text spanning chunks arrives in pieces that join up.
    for (size_t size : {8191u, 8192u, 8193u, 16384u}) {
        Recorder reader;
        EXPECT_TRUE(reader.ParseText("<r>" + std::string(size - 7, 'x') + "</r>")) << size;
        EXPECT_EQ(reader.text, std::string(size - 7, 'x')) << size;
    }
    // A cut-short document that fills whole chunks is still seen to end.
    Recorder reader;
    EXPECT_FALSE(reader.ParseText("<r>" + std::string(8192 - 3, 'x')));
}

TEST(XMLParser, StopEndsTheParseAsASuccessAndNothingAfterItIsRead)
{
    // 20,000 bytes of items, broken beyond the first chunk.
    std::string doc = "<root>";
    while (doc.size() < 19980)
        doc += "<item v=\"1\"/>";
    TempFolder dir;
    const std::string path = dir.Write("big.xml", doc + "</wrong>");
    Recorder reader;
    reader.stopAt = "item";
    EXPECT_TRUE(reader.LoadXML(path)) << reader.GetErrorText();
    EXPECT_TRUE(reader.GetErrorText().empty());
    EXPECT_EQ(reader.events, (std::vector<std::string>{"<root", "<item"}));
    EXPECT_FALSE(Recorder().LoadXML(path)) << "the stop is what saved it";

    // A stop in the last chunk of cut-short input is a success too.
    reader.stopAt = "found";
    EXPECT_TRUE(reader.ParseText("<root><found/><more>")) << reader.GetErrorText();

    // Each parse starts with the flag and the error cleared.
    reader.stopAt = "";
    EXPECT_FALSE(reader.ParseText("<a></b>"));
    EXPECT_TRUE(reader.ParseText("<a><b/></a>"));
    EXPECT_TRUE(reader.GetErrorText().empty());
    EXPECT_TRUE(reader.Saw(">a"));
}

TEST(XMLParser, AHandlersExceptionReachesTheCallerAndTheReaderStaysUsable)
{
    Recorder reader;
    reader.throwAt = "bad";
    EXPECT_THROW(reader.ParseText("<a><bad/><after/></a>"), std::runtime_error);
    EXPECT_FALSE(reader.Saw("<after"));
    EXPECT_TRUE(reader.ParseText("<a><ok/></a>"));
    EXPECT_TRUE(reader.Saw(">ok"));
}
