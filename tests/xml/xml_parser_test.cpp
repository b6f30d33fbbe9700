#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/bounded.h"
#include "xml/XMLParser.h"
#include "xml/temp_folder.h"

namespace {

// Writes down every tag as "<name" and ">name"; stops at, or throws on, the element so named.
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
    bool Saw(const std::string& event) const { return std::find(events.begin(), events.end(), event) != events.end(); }
    bool ParseText(const std::string& xml, const char* name = "memory")
    {
        std::istringstream in(xml);
        return Parse(in, name);
    }
};

TEST(XMLParser, ReadsAFileByAnyCaseAndNamesAMissingOneOrABrokenOne)
{
    TempFolder dir;
    dir.Write("data/XML/sample.xml", "<?xml version=\"1.0\"?>\n<ROOT>\n  <ITEM/>\n  <TEXT>hi</TEXT>\n</ROOT>\n");
    Recorder reader;
    ASSERT_TRUE(reader.LoadXML(dir / "DATA\\xml\\Sample.XML")) << reader.GetErrorText();
    EXPECT_EQ(reader.events, (std::vector<std::string>{"<ROOT", "<ITEM", ">ITEM", "<TEXT", ">TEXT", ">ROOT"}));
    EXPECT_NE(reader.text.find("hi"), std::string::npos);

    for (const std::string& path : {dir / "nowhere/absent.xml", dir / "data"}) { // a folder is no file either
        EXPECT_FALSE(reader.LoadXML(path));
        EXPECT_EQ(reader.GetErrorText(), "XML File " + path + " not found");
    }

    const std::string broken = dir.Write("broken.xml", "<root>\n  <a>\n  </b>\n</root>\n");
    EXPECT_FALSE(reader.LoadXML(broken));
    EXPECT_EQ(reader.GetErrorText(),
              "XML Parser error 'mismatched tag' at line 3 when processing input stream( " + broken + " )\n");
    EXPECT_TRUE(reader.Saw("<a")) << "what came before the error stays handled";
}

TEST(XMLParser, InputThatEndsBeforeTheDocumentDoesIsAnError)
{
    Recorder reader;
    EXPECT_FALSE(reader.ParseText("", nullptr));
    EXPECT_EQ(reader.GetErrorText(), "XML Parser error 'no element found' at line 1 when processing input stream( "
                                     "<UNNAMED> )\n");
    EXPECT_FALSE(reader.ParseText("<root>\n<a x=\"1\"/>\n<b>half", "cut.xml"));
    EXPECT_NE(reader.GetErrorText().find("line 3 when processing input stream( cut.xml )"), std::string::npos);
    // Also when it fills whole chunks; text spanning chunks arrives in pieces that join up.
    EXPECT_FALSE(reader.ParseText("<r>" + std::string(8192 - 3, 'x')));
    for (size_t size : {8191u, 8192u, 8193u, 16384u}) {
        Recorder whole;
        EXPECT_TRUE(whole.ParseText("<r>" + std::string(size - 7, 'x') + "</r>")) << size;
        EXPECT_EQ(whole.text, std::string(size - 7, 'x')) << size;
    }
}

TEST(XMLParser, StopEndsTheParseAsASuccessAndNothingAfterItIsRead)
{
    // 20,000 bytes of items, broken beyond the first chunk.
    std::string doc = "<root>";
    while (doc.size() < 19980)
        doc += "<item v=\"1\"/>";
    doc += "</wrong>";
    Recorder reader;
    reader.stopAt = "item";
    EXPECT_TRUE(reader.ParseText(doc)) << reader.GetErrorText();
    EXPECT_EQ(reader.events, (std::vector<std::string>{"<root", "<item"}));
    EXPECT_FALSE(Recorder().ParseText(doc)) << "the stop is what saved it";

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

// Each case breaks one bound; each must come back false with the refusal
// line naming the stream, and the reader must serve the next document.
TEST(XMLParser, ADocumentPastTheBoundsOrAFailingHandlerIsRefusedByName)
{
    std::string deep;
    for (int i = 0; i < bounded::kMaxXmlDepth + 1; ++i)
        deep += "<a>";
    std::string justDeepEnough;
    for (int i = 0; i < bounded::kMaxXmlDepth; ++i)
        justDeepEnough += "<a>";
    for (int i = 0; i < bounded::kMaxXmlDepth; ++i)
        justDeepEnough += "</a>";
    std::string many = "<r>";
    for (size_t i = 0; i < bounded::kMaxXmlElements; ++i)
        many += "<i/>";
    many += "</r>";

    struct Case {
        const char* what;
        std::string doc;
        std::string throwAt, refuseAt;
        std::string fault;
    } cases[] = {
        {"nesting", deep, "", "", "elements nest deeper than 64"},
        {"element count", many, "", "", "it has more than 1048576 elements"},
        {"handler throws", "<a><bad/><after/></a>", "bad", "", "its reader failed: handler failed"},
        {"handler refuses", "<a><bad/><after/></a>", "", "bad", "a bad element"},
    };
    for (const Case& c : cases) {
        struct Refuser : Recorder {
            std::string refuseAt;
            void OnStartElement(const std::string& name, CXMLAttributes& a) override
            {
                Recorder::OnStartElement(name, a);
                if (name == refuseAt)
                    RefuseFile("a bad element");
            }
        } reader;
        reader.throwAt = c.throwAt;
        reader.refuseAt = c.refuseAt;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(reader.ParseText(c.doc, "data/XML/instances.xml")) << c.what;
        const std::string printed = testing::internal::GetCapturedStderr();
        const std::string line = "data/XML/instances.xml: refused: " + c.fault;
        EXPECT_EQ(reader.GetErrorText(), line) << c.what;
        EXPECT_EQ(printed, line + "\n") << c.what;
        EXPECT_FALSE(reader.Saw("<after")) << c.what;
        EXPECT_TRUE(reader.ParseText("<a><ok/></a>")) << c.what << ": " << reader.GetErrorText();
        EXPECT_TRUE(reader.Saw(">ok")) << c.what;
    }
    Recorder reader;
    EXPECT_TRUE(reader.ParseText(justDeepEnough)) << reader.GetErrorText();
}

// A file the game needs says once a run why it was not read: missing, no
// XML, or refused by the bounds (that line is not said twice).
TEST(XMLParser, ANeededFileSaysOnceWhyItWasNotRead)
{
    TempFolder folder;
    const std::string broken = folder.Write("broken.xml", "<a><b></a>");
    std::string deep;
    for (int i = 0; i <= bounded::kMaxXmlDepth; ++i)
        deep += "<a>";
    const std::string tooDeep = folder.Write("deep.xml", deep);
    const std::string sound = folder.Write("sound.xml", "<a/>");
    testing::internal::CaptureStderr();
    for (int i = 0; i < 2; ++i) {
        Recorder reader;
        EXPECT_FALSE(reader.LoadXMLSaying(folder / "missing.xml"));
        EXPECT_FALSE(reader.LoadXMLSaying(broken));
        EXPECT_FALSE(reader.LoadXMLSaying(tooDeep));
        EXPECT_TRUE(reader.LoadXMLSaying(sound));
    }
    const std::string said = testing::internal::GetCapturedStderr();
    // Read again at every level load, a file refused by the bounds says so once too.
    EXPECT_EQ(said, folder / "missing.xml" + ": refused: it is missing\n" + broken +
                        ": refused: it is not well-formed XML (mismatched tag at line 1)\n" + tooDeep +
                        ": refused: elements nest deeper than 64\n");

    // A reader that keeps what came before the fault says so, and not "refused".
    const std::string cut = folder.Write("cut.xml", "<a><b/><c");
    testing::internal::CaptureStderr();
    for (int i = 0; i < 2; ++i) {
        Recorder reader;
        EXPECT_FALSE(reader.LoadXMLSaying(cut, true));
        EXPECT_TRUE(reader.Saw("<b"));
        EXPECT_EQ(reader.GetFault(), "it is not well-formed XML (unclosed token at line 1)");
        EXPECT_FALSE(reader.LoadXMLSaying(folder / "gone.xml", true));
        EXPECT_FALSE(reader.LoadXMLSaying(tooDeep, true));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              cut + ": it is not well-formed XML (unclosed token at line 1); what came before it is kept\n" + folder /
                  "gone.xml" + ": refused: it is missing\n");
}

} // namespace
