// Whether a text is well-formed XML (the plots the analyses write).
#pragma once

#include <expat.h>

#include <string>

namespace trv::test {

// "" when the text parses, else expat's reason and line.
inline std::string xmlProblem(const std::string& text) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    std::string why;
    if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_OK)
        why = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
              std::to_string(XML_GetCurrentLineNumber(parser));
    XML_ParserFree(parser);
    return why;
}

} // namespace trv::test
