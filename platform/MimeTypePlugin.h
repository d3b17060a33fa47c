// The boundary between the shell services and the plugin library that reads the shared MIME database.
#pragma once

#include <cstddef>

// The description of `path`'s file type in the user's language, UTF-8, into `text` (at most size - 1 bytes
// and a terminating zero); returns the description's whole length.
extern "C" std::size_t korvex_mime_type_comment(const char* path, char* text, std::size_t size);

namespace korvex::platform {

// The plugin's file name, looked for beside the executable, in ../lib/korvex from it, and where it was built.
inline constexpr const char* kMimeTypePlugin = "korvex-mime.so";
inline constexpr const char* kMimeTypeCommentSymbol = "korvex_mime_type_comment";
using MimeTypeCommentFunction = std::size_t (*)(const char*, char*, std::size_t);

} // namespace korvex::platform
