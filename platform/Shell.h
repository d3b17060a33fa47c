// The two shell services the program uses: what kind of file a path names, and handing a web address (or a
// document) to the desktop's default application.
#pragma once

#include <cstdint>
#include <string>

namespace korvex::platform {

inline constexpr std::uint32_t SHGFI_TYPENAME = 0x400;
inline constexpr std::uint32_t SHGFI_EXETYPE = 0x2000;

inline constexpr int SW_SHOW = 5;

// The part of the shell's file-information record that the program reads.
struct SHFILEINFOA {
    char szTypeName[80] = {};
};

// SHGFI_TYPENAME fills `psfi->szTypeName` with the description of the file's type from the shared MIME
// database, in the user's language, zero-terminated and cut to 79 bytes at a character boundary; the result
// is non-zero on success. SHGFI_EXETYPE alone gives the executable type of the file's contents (see
// ExecutableType), 0 for any other file. Both give 0 for a path that names no readable file.
// `fileAttributes` is ignored: the file is always looked at.
std::uintptr_t SHGetFileInfoA(const std::string& path, std::uint32_t fileAttributes, SHFILEINFOA* psfi,
                              std::uint32_t cbFileInfo, std::uint32_t flags);

inline constexpr std::intptr_t SE_ERR_NOASSOC = 31;

// "open" (or a null operation) hands `file` to the desktop's default handler: a web address to the browser,
// a local path to the application for its type. Returns a value above 32 when the desktop accepted it,
// SE_ERR_NOASSOC otherwise. The owner window, parameters, folder and show command have no use here.
// Defined in the Qt GUI part of the platform layer.
std::intptr_t ShellExecuteA(void* hwnd, const char* operation, const char* file, const char* parameters,
                            const char* directory, int showCmd);

} // namespace korvex::platform
