// Content types of served files, by extension.
#pragma once

#include <string_view>

// The Content-Type for a request path, from the extension of its last
// segment, without regard to letter case; "application/octet-stream" for
// unknown or missing extensions.
const char* ContentTypeForPath(std::string_view path);
