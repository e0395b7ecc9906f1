// The server's fixed texts as clients see them, written out byte by byte so
// that the tests compare the server against them, not against its own code.
#pragma once

#include <string>

namespace test {

// The empty page for a missing file and for every POST: 143 bytes.
inline const std::string kFixedResponse =
    "HTTP/1.0 200 OK\r\n"
    "Server: Brenvik Mini Server\r\n"
    "Content-Type: text/html\r\n"
    "Accept-Ranges: bytes\r\n"
    "Content-Length: 28\r\n"
    "\r\n"
    "<html><body></body></html>\r\n";

// The page that follows the header block of the answer to "/" and "/custom".
inline const std::string kDefaultPage =
    "<html>\r\n"
    "<head>\r\n"
    "<title></title>\r\n"
    "</head>\r\n"
    "<body>\r\n"
    "<p align=\"center\">Brenvik - Lessons that travel light</p>\r\n"
    "<h3 align=\"center\"><a href=\"Default.htm\">Quillory</a></h3>\r\n"
    "<p align=\"center\">https://www.brenvik.example</p>\r\n"
    "</body></html>\r\n"
    "\r\n";

}  // namespace test
