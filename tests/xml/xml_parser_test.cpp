#include <algorithm>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "xml/XMLParser.h"
#include "xml/temp_folder.h"

namespace {

// Writes down every handler call; a test may hook the start tags to stop the
// parse or throw.
class Recorder : public CXMLParser {
public:
    std::vector<std::string> events;
    std::string text;
    int textPieces = 0;
    std::function<void(Recorder&, const std::string&, CXMLAttributes&)> onStart;

    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override
    {
        events.push_back("<" + name);
        if (onStart)
            onStart(*this, name, attributes);
    }
    void OnCharacterData(const std::string& piece) override
    {
        events.push_back("text");
        text += piece;
        ++textPieces;
    }
    void OnEndElement(const std::string& name) override { events.push_back(">" + name); }

    void Stop() { m_StopParsing = true; }
};

bool ParseString(CXMLParser& reader, const std::string& xml, const char* name = "memory")
{
    std::istringstream in(xml);
    return reader.Parse(in, name);
}

std::string ErrorFor(const std::string& expatText, int line, const std::string& name)
{
    return "XML Parser error '" + expatText + "' at line " + std::to_string(line) +
           " when processing input stream( " + name + " )\n";
}

// A document of exactly `size` bytes: one element holding filler text.
std::string DocumentOfSize(size_t size)
{
    return "<r>" + std::string(size - 7, 'x') + "</r>";
}

} // namespace

TEST(XMLParserLoad, MissingFileFailsWithItsNameAndCallsNoHandler)
{
    TempFolder dir;
    Recorder reader;
    const std::string missing = dir / "nowhere/absent.xml";
    EXPECT_FALSE(reader.LoadXML(missing));
    EXPECT_EQ(reader.GetErrorText(), "XML File " + missing + " not found");
    EXPECT_TRUE(reader.events.empty());

    const std::string folder = dir / "nowhere";
    std::filesystem::create_directories(folder);
    EXPECT_FALSE(reader.LoadXML(folder));
    EXPECT_EQ(reader.GetErrorText(), "XML File " + folder + " not found");
}

TEST(XMLParserLoad, FindsTheFileWhateverCaseAndSlashesTheNameUses)
{
    TempFolder dir;
    dir.Write("data/XML/sample.xml",
              "<?xml version=\"1.0\"?>\n<ROOT>\n  <ITEM name=\"a\"/>\n  <TEXT>hi</TEXT>\n</ROOT>\n");
    Recorder reader;
    ASSERT_TRUE(reader.LoadXML(dir.Path() + "/DATA\\xml\\Sample.XML")) << reader.GetErrorText();
    EXPECT_TRUE(reader.GetErrorText().empty());

    // Keep only the tag calls: whitespace between tags arrives as text too.
    std::vector<std::string> tags;
    for (const std::string& e : reader.events) {
        if (e != "text")
            tags.push_back(e);
    }
    const std::vector<std::string> expected = {"<ROOT", "<ITEM", ">ITEM", "<TEXT", ">TEXT", ">ROOT"};
    EXPECT_EQ(tags, expected);
    EXPECT_NE(reader.text.find("hi"), std::string::npos);
}

TEST(XMLParserErrors, MismatchedEndTagNamesExpatsTextTheLineAndTheFile)
{
    TempFolder dir;
    const std::string path = dir.Write("broken.xml", "<root>\n  <a>\n  </b>\n</root>\n");
    Recorder reader;
    EXPECT_FALSE(reader.LoadXML(path));
    EXPECT_EQ(reader.GetErrorText(), ErrorFor("mismatched tag", 3, path));
    // What came before the error was handled and stays handled.
    ASSERT_FALSE(reader.events.empty());
    EXPECT_EQ(reader.events[0], "<root");
    EXPECT_NE(std::find(reader.events.begin(), reader.events.end(), "<a"), reader.events.end());
}

TEST(XMLParserErrors, InputThatEndsBeforeTheDocumentDoesFails)
{
    TempFolder dir;
    Recorder reader;

    const std::string empty = dir.Write("empty.xml", "");
    EXPECT_FALSE(reader.LoadXML(empty));
    EXPECT_EQ(reader.GetErrorText(), ErrorFor("no element found", 1, empty));

    const std::string noRoot = dir.Write("comment.xml", "<!-- nothing here -->\n\n");
    EXPECT_FALSE(reader.LoadXML(noRoot));
    EXPECT_EQ(reader.GetErrorText().rfind("XML Parser error '", 0), 0u);

    reader.events.clear();
    const std::string cut = dir.Write("cut.xml", "<root>\n<a x=\"1\"/>\n<b>half");
    EXPECT_FALSE(reader.LoadXML(cut));
    EXPECT_NE(reader.GetErrorText().find("line 3 when processing input stream( " + cut + " )"),
              std::string::npos)
        << reader.GetErrorText();
    // Everything complete before the cut was still delivered.
    EXPECT_EQ(reader.events[0], "<root");
    EXPECT_NE(std::find(reader.events.begin(), reader.events.end(), ">a"), reader.events.end());
    EXPECT_NE(std::find(reader.events.begin(), reader.events.end(), "<b"), reader.events.end());
}

TEST(XMLParserErrors, StreamWithoutANameIsUnnamedAndLongMessagesAreCut)
{
    Recorder reader;
    EXPECT_FALSE(ParseString(reader, "<a>\n</b>", nullptr));
    EXPECT_EQ(reader.GetErrorText(), ErrorFor("mismatched tag", 2, "<UNNAMED>"));

    const std::string longName(600, 'n');
    EXPECT_FALSE(ParseString(reader, "<a></b>", longName.c_str()));
    EXPECT_EQ(reader.GetErrorText().size(), 511u);
    EXPECT_EQ(reader.GetErrorText().rfind("XML Parser error 'mismatched tag' at line 1", 0), 0u);
    EXPECT_EQ(reader.GetErrorText().back(), 'n');
}

TEST(XMLParserChunks, LengthsOnAndAroundTheChunkSizeParse)
{
    for (size_t size : {8191u, 8192u, 8193u, 16384u}) {
        Recorder reader;
        const std::string doc = DocumentOfSize(size);
        ASSERT_EQ(doc.size(), size);
        EXPECT_TRUE(ParseString(reader, doc)) << size << ": " << reader.GetErrorText();
        ASSERT_FALSE(reader.events.empty());
        EXPECT_EQ(reader.events.back(), ">r") << size;
        EXPECT_EQ(reader.text, std::string(size - 7, 'x')) << size;
    }
    // A cut-short document that fills whole chunks is still seen to end.
    Recorder reader;
    EXPECT_FALSE(ParseString(reader, "<r>" + std::string(8192 - 3, 'x')));
    EXPECT_FALSE(reader.GetErrorText().empty());
}

TEST(XMLParserChunks, TextArrivesInPiecesThatJoinToTheWholeRun)
{
    // A run of text longer than two chunks cannot arrive in one call.
    std::string run;
    for (int i = 0; run.size() < 20000; ++i)
        run += std::to_string(i) + ' ';
    Recorder reader;
    ASSERT_TRUE(ParseString(reader, "<t>" + run + "</t>"));
    EXPECT_EQ(reader.text, run);
    EXPECT_GE(reader.textPieces, 3);

    Recorder entities;
    ASSERT_TRUE(ParseString(entities, "<t>fish &amp; chips</t>"));
    EXPECT_EQ(entities.text, "fish & chips");
}

TEST(XMLParserStop, StopInTheFirstChunkEndsTheParseAsASuccess)
{
    // 20,000 bytes of items, broken beyond the first chunk: the break is never
    // read once the reader has stopped.
    std::string doc = "<root>";
    while (doc.size() < 19980)
        doc += "<item v=\"1\"/>";
    doc += "</wrong>";
    TempFolder dir;
    const std::string path = dir.Write("big.xml", doc);

    Recorder reader;
    reader.onStart = [](Recorder& r, const std::string& name, CXMLAttributes&) {
        if (name == "item")
            r.Stop();
    };
    EXPECT_TRUE(reader.LoadXML(path)) << reader.GetErrorText();
    EXPECT_TRUE(reader.GetErrorText().empty());
    // Not even the end of the element that stopped it.
    const std::vector<std::string> expected = {"<root", "<item"};
    EXPECT_EQ(reader.events, expected);
    EXPECT_TRUE(reader.IsParsingStopped());

    // Without the stop the same file is an error: the stop is what saved it.
    Recorder plain;
    EXPECT_FALSE(plain.LoadXML(path));
}

TEST(XMLParserStop, StopInTheLastChunkOfCutShortInputIsASuccess)
{
    Recorder reader;
    reader.onStart = [](Recorder& r, const std::string& name, CXMLAttributes&) {
        if (name == "found")
            r.Stop();
    };
    EXPECT_TRUE(ParseString(reader, "<root><found/><more>")) << reader.GetErrorText();
}

TEST(XMLParserStop, EachParseStartsWithTheFlagAndErrorCleared)
{
    Recorder reader;
    bool stopAtFirst = true;
    reader.onStart = [&](Recorder& r, const std::string&, CXMLAttributes&) {
        if (stopAtFirst)
            r.Stop();
    };
    EXPECT_TRUE(ParseString(reader, "<a><b/></a>"));
    EXPECT_EQ(reader.events.size(), 1u);

    EXPECT_FALSE(ParseString(reader, "<a></b>"));
    EXPECT_EQ(reader.events.size(), 2u);  // the flag was cleared: <a was handled
    EXPECT_FALSE(reader.GetErrorText().empty());

    stopAtFirst = false;
    reader.events.clear();
    EXPECT_TRUE(ParseString(reader, "<a><b/></a>"));
    EXPECT_TRUE(reader.GetErrorText().empty());
    EXPECT_EQ(reader.events.size(), 4u);
    EXPECT_FALSE(reader.IsParsingStopped());
}

TEST(XMLParserAttributes, ArriveAsAMapInNameOrder)
{
    Recorder reader;
    std::vector<std::pair<std::string, std::string>> seen;
    reader.onStart = [&](Recorder&, const std::string&, CXMLAttributes& attributes) {
        for (const auto& entry : attributes)
            seen.push_back(entry);
    };
    ASSERT_TRUE(ParseString(reader, "<e b=\"2\" c=\"\" a=\"x &lt; y\"/>"));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"a", "x < y"}, {"b", "2"}, {"c", ""}};
    EXPECT_EQ(seen, expected);
}

TEST(XMLParserHandlers, AHandlersExceptionReachesTheCallerAndTheReaderStaysUsable)
{
    Recorder reader;
    reader.onStart = [](Recorder&, const std::string& name, CXMLAttributes&) {
        if (name == "bad")
            throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(ParseString(reader, "<a><bad/><after/></a>"), std::runtime_error);
    EXPECT_EQ(std::count(reader.events.begin(), reader.events.end(), "<after"), 0);

    reader.events.clear();
    EXPECT_TRUE(ParseString(reader, "<a><ok/></a>"));
    EXPECT_EQ(reader.events.size(), 4u);
}
