// Text of a document or a driver in the markup of the XML and JSON forms of the verdicts: the
// profile check's and the comparison's. Both take any bytes and never fail.
#pragma once

#include <string>

// As an XML attribute value, escaped as the reports escape names from drivers (markup as
// entities, UTF-8 as character references, other control bytes as '?'), a NUL included.
std::string xml_attribute(const std::string& text);

// As a JSON string, quoted, with bytes that are no UTF-8 replaced, so that the form always parses.
std::string json_string(const std::string& text);
