// Reading XML into TinyXML documents without letting the parser run off the
// end of the text. TinyXML trusts the length that a UTF-8 lead byte announces,
// so a multi-byte lead among the last bytes makes it step over the closing
// zero and keep reading. These functions give the text a tail of zero bytes
// that every such step lands in.
#pragma once

#include <tinyxml.h>

#include <string>

// Parses `text` as it stands. True when the document parsed without error.
bool ParseXmlText(TiXmlDocument* document, std::string text);

// Parses the bytes of an XML file as LoadXmlFile does once it has read them.
// False when they are empty or do not parse.
bool ParseXmlFileBytes(TiXmlDocument* document, std::string bytes);

// Reads the file `fs_name` (UTF-8 file-system name) with the line ends that
// TinyXML's own loader gives it (CR LF and a lone CR become LF) and parses it.
// False when the file cannot be read, is empty or does not parse.
bool LoadXmlFile(TiXmlDocument* document, const std::string& fs_name);
