// Turning a plain content tree (the developer-mode layout, files under their
// own names) into the content store layout that the server reads outside
// developer mode. Used by the store tool and by tests.
#pragma once

#include <functional>
#include <string>

// Receives one line of text per action (no line feed).
using StoreLog = std::function<void(const std::string&)>;

// Copies every file of `plain_dir` into `data_dir`: folders directly in
// `plain_dir` keep their names; every file below one of them becomes
// "<digest of its store path>.vkc" directly in that top-level folder; files
// directly in `plain_dir` keep their names. Every file is scrambled except
// those whose request path ends in ".xml". A "pro.xml" directly in a
// top-level folder is also kept there under its own name, plain (the
// product list reads it). Files are streamed in chunks.
// Refuses a `data_dir` that exists and is not empty unless `force` (then
// files are written over). Returns false with a message in `error` when the
// store could not be built completely, including when two files would get
// the same stored name.
bool BuildContentStore(const std::wstring& plain_dir, const std::wstring& data_dir, bool force,
                       const StoreLog& log, std::string* error);
