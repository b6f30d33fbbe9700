#include "xml/XMLParser.h"

#include <expat.h>
#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <type_traits>

#include "platform/bounded.h"
#include "platform/files.h"

static_assert(std::is_same<XML_Char, char>::value, "expat must be built for char");

namespace {

constexpr size_t kChunkSize = 8192;

// What expat's callbacks are handed for one parse: the reader, and a place to
// park an exception thrown by one of its handlers so that it never unwinds
// through expat's C frames.
struct ParseContext {
    CXMLParser* reader;
    XML_Parser parser;
    std::exception_ptr error;
    int depth = 0;
    size_t elements = 0;
    std::string fault;  // why the document breaks the readers' bounds
};

void Overstep(ParseContext* context, std::string fault)
{
    if (context->fault.empty())
        context->fault = std::move(fault);
    XML_StopParser(context->parser, XML_FALSE);
}

struct ParserDeleter {
    void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

size_t ReadFromFile(void* source, char* buffer, size_t size)
{
    return std::fread(buffer, 1, size, static_cast<FILE*>(source));
}

size_t ReadFromStream(void* source, char* buffer, size_t size)
{
    auto* stream = static_cast<std::istream*>(source);
    stream->read(buffer, static_cast<std::streamsize>(size));
    return static_cast<size_t>(stream->gcount());
}

template <typename Call>
void Guarded(void* userData, Call call)
{
    auto* context = static_cast<ParseContext*>(userData);
    if (context->error || !context->fault.empty() || context->reader->IsParsingStopped())
        return;
    try {
        call(context->reader);
    } catch (...) {
        context->error = std::current_exception();
        XML_StopParser(context->parser, XML_FALSE);
    }
}

} // namespace

CXMLParser::CXMLParser() : m_StopParsing(false) {}

bool CXMLParser::LoadXML(const std::string& file)
{
    std::unique_ptr<FILE, FileCloser> handle(platform::OpenFile(file, "r"));
    // Linux opens a folder for reading where Windows refuses; a folder is no file.
    struct stat info;
    if (handle && (fstat(fileno(handle.get()), &info) != 0 || S_ISDIR(info.st_mode)))
        handle.reset();
    if (!handle) {
        m_ErrorText = "XML File " + file + " not found";
        // A folder or a looping link in its place is no missing file: the
        // line says what is there.
        m_Fault = platform::ReadFault(file);
        m_Said = false;
        return false;
    }
    return ParseChunks(ReadFromFile, handle.get(), file.c_str());
}

bool CXMLParser::LoadXMLSaying(const std::string& file, bool keepsWhatCameBefore)
{
    m_SayOnce = true;
    const bool loaded = LoadXML(file);
    m_SayOnce = false;
    if (loaded)
        return true;
    // A file read again at every level load says so once.
    if (m_Said)
        return false;
    if (keepsWhatCameBefore && m_Fault.rfind("it is not well-formed XML", 0) == 0)
        bounded::SayOnce(bounded::Echoed(file) + ": " + m_Fault + "; what came before it is kept");
    else
        bounded::SayOnce(bounded::Refusal(bounded::Echoed(file), m_Fault));
    return false;
}

bool CXMLParser::Parse(std::istream& input, const char* name)
{
    return ParseChunks(ReadFromStream, &input, name);
}

bool CXMLParser::ParseChunks(ReadChunk read, void* source, const char* name)
{
    m_ErrorText.clear();
    m_Refusal.clear();
    m_Fault.clear();
    m_Said = false;
    m_StopParsing = false;
    m_StreamName = name ? name : "<UNNAMED>";
    const std::string& streamName = m_StreamName;

    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate(nullptr));
    ParseContext context{this, parser.get(), nullptr, 0, 0, {}};
    XML_Error failure = XML_ERROR_NONE;
    size_t total = 0;

    if (!parser) {
        failure = XML_ERROR_NO_MEMORY;
    } else {
        XML_SetUserData(parser.get(), &context);
        XML_SetElementHandler(parser.get(), StartElementHandler, EndElementHandler);
        XML_SetCharacterDataHandler(parser.get(), CharacterDataHandler);

        char buffer[kChunkSize];
        for (;;) {
            const size_t got = read(source, buffer, sizeof buffer);
            total += got;
            if (total > bounded::kMaxFileBytes) {
                context.fault = "it is larger than " + std::to_string(bounded::kMaxFileBytes) + " bytes";
                break;
            }
            bool ok = XML_Parse(parser.get(), buffer, static_cast<int>(got), XML_FALSE) == XML_STATUS_OK;
            if (context.error || !context.fault.empty() || !m_Refusal.empty())
                break;
            if (ok && !m_StopParsing && got < sizeof buffer) {
                // The input has ended: only now can expat tell a document that
                // is incomplete (empty, cut short) from one still arriving.
                ok = XML_Parse(parser.get(), buffer, 0, XML_TRUE) == XML_STATUS_OK;
                if (context.error || !context.fault.empty() || !m_Refusal.empty())
                    break;
            }
            if (!ok) {
                failure = XML_GetErrorCode(parser.get());
                break;
            }
            if (m_StopParsing || got < sizeof buffer)
                break;
        }
    }

    // A reader that threw, a reader that refused what it read, and a document
    // past the bounds all end the same way: false and one line naming the file.
    if (context.error) {
        try {
            std::rethrow_exception(context.error);
        } catch (const std::exception& e) {
            context.fault = std::string("its reader failed: ") + e.what();
        } catch (...) {
            context.fault = "its reader failed";
        }
    }
    if (context.fault.empty() && !m_Refusal.empty())
        context.fault = m_Refusal;
    if (!context.fault.empty()) {
        m_ErrorText = bounded::Refusal(streamName, context.fault);
        if (m_SayOnce)
            bounded::SayOnce(m_ErrorText);
        else
            bounded::Refuse(streamName, context.fault);
        m_Fault = context.fault;
        m_Said = true;
        return false;
    }

    if (failure == XML_ERROR_NONE)
        return true;

    char message[512];
    std::snprintf(message, sizeof message,
                  "XML Parser error '%s' at line %d when processing input stream( %s )\n",
                  XML_ErrorString(failure),
                  parser ? static_cast<int>(XML_GetCurrentLineNumber(parser.get())) : 0,
                  streamName.c_str());
    m_ErrorText = message;
    m_Fault = std::string("it is not well-formed XML (") + XML_ErrorString(failure) + " at line " +
              std::to_string(parser ? static_cast<int>(XML_GetCurrentLineNumber(parser.get())) : 0) + ")";
    return false;
}

void CXMLParser::RefuseFile(const std::string& fault)
{
    if (m_Refusal.empty())
        m_Refusal = fault;
}

void CXMLParser::StartElementHandler(void* userData, const char* name, const char** attributes)
{
    auto* context = static_cast<ParseContext*>(userData);
    if (++context->depth > bounded::kMaxXmlDepth)
        return Overstep(context, "elements nest deeper than " + std::to_string(bounded::kMaxXmlDepth));
    if (++context->elements > bounded::kMaxXmlElements)
        return Overstep(context, "it has more than " + std::to_string(bounded::kMaxXmlElements) + " elements");
    Guarded(userData, [&](CXMLParser* reader) {
        CXMLAttributes map;
        for (int i = 0; attributes && attributes[i]; i += 2)
            map[attributes[i]] = attributes[i + 1];
        reader->OnStartElement(name, map);
    });
}

void CXMLParser::CharacterDataHandler(void* userData, const char* text, int length)
{
    Guarded(userData, [&](CXMLParser* reader) { reader->OnCharacterData(std::string(text, length)); });
}

void CXMLParser::EndElementHandler(void* userData, const char* name)
{
    --static_cast<ParseContext*>(userData)->depth;
    Guarded(userData, [&](CXMLParser* reader) { reader->OnEndElement(name); });
}
