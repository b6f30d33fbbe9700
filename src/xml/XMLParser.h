// Base of every XML reader of the game. A reader derives from CXMLParser,
// overrides the handlers it needs and calls LoadXML; failures come back as
// false with a message in GetErrorText(), never as an exception of ours.
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
    // A missing file sets "XML File <file> not found" and calls no handler.
    bool LoadXML(const std::string& file);

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
    bool IsParsingStopped() const { return m_StopParsing; }

    // expat's callbacks; each does nothing once the stop flag is set.
    static void StartElementHandler(void* userData, const char* name, const char** attributes);
    static void CharacterDataHandler(void* userData, const char* text, int length);
    static void EndElementHandler(void* userData, const char* name);

protected:
    // Set by a handler to end the parse early: the rest of the current chunk
    // reaches no handler, no further chunk is read, and the parse succeeds.
    // Cleared when a parse starts.
    bool m_StopParsing;
    // The message of the last failure; cleared when a parse starts.
    std::string m_ErrorText;

private:
    typedef size_t (*ReadChunk)(void* source, char* buffer, size_t size);
    bool ParseChunks(ReadChunk read, void* source, const char* name);
};
