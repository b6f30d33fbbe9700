// Base of every XML reader of the game. A reader derives from CXMLParser,
// overrides the handlers it needs and calls LoadXML; failures come back as
// false with a message in GetErrorText(), never as an exception.
//
// Every document is bounded (see platform/bounded.h): nesting deeper than
// kMaxXmlDepth, more than kMaxXmlElements elements, more than kMaxFileBytes
// bytes, a handler that throws, or a handler that calls RefuseFile ends the
// parse with false and one line "<file>: refused: <fault>" on the debug
// output. Handlers may already have seen the elements before the fault.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

#include "xml/XMLAttributes.h"

class CXMLParser {
public:
    CXMLParser();
    virtual ~CXMLParser() = default;

    // Opens the file through platform::OpenFile (so any case and backslashes
    // do) and parses it; the file name names the stream in error messages.
    // A file that cannot be opened (missing, a folder, a looping link) sets
    // "XML File <file> not found" and calls no handler; GetFault says which.
    bool LoadXML(const std::string& file);
    // LoadXML, and when it fails, one line naming the file and the fault on
    // the debug output, once per run (a refusal by the bounds included): for
    // files the game cannot do without, read again at every level load. A
    // reader that keeps what its handlers took before a fault in the XML
    // says so ("...; what came before it is kept") instead of "refused".
    bool LoadXMLSaying(const std::string& file, bool keepsWhatCameBefore = false);

    // Parses a stream in 8192-byte chunks. The name only goes into error
    // messages ("<UNNAMED>" when null). Input that ends before the document
    // does - empty, no root element, cut inside an element - is an error.
    bool Parse(std::istream& input, const char* name);

    // Called for each start tag (the attributes live only for this call), for
    // each piece of text (one run of text may arrive in several pieces: join
    // them yourself), and for each end tag. Empty elements get both tag calls.
    virtual void OnStartElement(const std::string& name, CXMLAttributes& attributes) {}
    virtual void OnCharacterData(const std::string& text) {}
    virtual void OnEndElement(const std::string& name) {}

    const std::string& GetErrorText() const { return m_ErrorText; }
    // Why the last parse failed, in a few words ("it is missing", "it is not
    // well-formed XML (...)", a refusal's fault); empty after a success.
    const std::string& GetFault() const { return m_Fault; }
    // The name of the stream being parsed (for handlers' messages); the last
    // one once the parse is over.
    const std::string& GetStreamName() const { return m_StreamName; }
    bool IsParsingStopped() const { return m_StopParsing || !m_Refusal.empty(); }

    // expat's callbacks; each does nothing once the stop flag is set.
    static void StartElementHandler(void* userData, const char* name, const char** attributes);
    static void CharacterDataHandler(void* userData, const char* text, int length);
    static void EndElementHandler(void* userData, const char* name);

protected:
    // Called by a handler that finds a value breaking the readers' bounds:
    // no further handler runs and the parse fails with the fault. The first
    // fault of a parse is the one reported.
    void RefuseFile(const std::string& fault);

    // Set by a handler to end the parse early: the rest of the current chunk
    // reaches no handler, no further chunk is read, and the parse succeeds.
    // Cleared when a parse starts.
    bool m_StopParsing;
    // The message of the last failure; cleared when a parse starts.
    std::string m_ErrorText;

private:
    std::string m_Refusal;
    // Set while LoadXMLSaying parses: a refusal is then said once per run.
    bool m_SayOnce = false;
    // Why the last parse failed, in a few words, and whether a line said so.
    std::string m_Fault;
    bool m_Said = false;
    std::string m_StreamName;
    typedef size_t (*ReadChunk)(void* source, char* buffer, size_t size);
    bool ParseChunks(ReadChunk read, void* source, const char* name);
};
