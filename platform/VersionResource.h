// The version services over the published version-resource format: a VS_VERSIONINFO block with a
// VS_FIXEDFILEINFO value, a "StringFileInfo" part with one table of UTF-16 texts per language and code page,
// and a "VarFileInfo" part whose "Translation" value lists the language and code-page pairs.
//
// The lower half is pure: it looks things up in a block given as bytes and never reads outside it. The upper
// half keeps the contracts of the Windows functions of the same names, so the version reader reads like it
// would there. Their 8-bit texts are UTF-8, the 8-bit encoding of this system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ByteView.h"

namespace korvex::platform {

struct VS_FIXEDFILEINFO {
    std::uint32_t dwSignature = 0;
    std::uint32_t dwStrucVersion = 0;
    std::uint32_t dwFileVersionMS = 0;
    std::uint32_t dwFileVersionLS = 0;
    std::uint32_t dwProductVersionMS = 0;
    std::uint32_t dwProductVersionLS = 0;
    std::uint32_t dwFileFlagsMask = 0;
    std::uint32_t dwFileFlags = 0;
    std::uint32_t dwFileOS = 0;
    std::uint32_t dwFileType = 0;
    std::uint32_t dwFileSubtype = 0;
    std::uint32_t dwFileDateMS = 0;
    std::uint32_t dwFileDateLS = 0;
};

inline constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
inline constexpr std::size_t kFixedFileInfoSize = 52; // as stored: thirteen little-endian 32-bit words

// ---- Pure lookups in a block ----

// The length of the version block at the start of `bytes`: its own length, cut to the bytes present; 0 when
// the bytes do not start with a VS_VERSIONINFO header (key "VS_VERSION_INFO").
std::size_t VersionBlockLength(ByteView bytes);

// A value found in a block. Text values count UTF-16 units, binary values bytes; both are cut to the bytes
// of their own entry.
struct VersionValue {
    std::size_t offset = 0; // from the start of the block
    std::size_t length = 0;
    bool isText = false;
};

// Looks `path` up in the block: components separated by backslashes ("\StringFileInfo\080704E4\ProductName"),
// keys compared without regard to case. The empty path and "\" give the root entry, whose value is the fixed
// part. nullopt when a component is missing or the block is malformed on the way.
std::optional<VersionValue> FindVersionValue(ByteView block, std::string_view path);

// The text of a text value up to its terminating zero, as UTF-8 (unpaired surrogates become U+FFFD).
std::string VersionText(ByteView block, const VersionValue& value);

// UTF-8 to UTF-16, as keys and texts are stored; bytes that form no character become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// Decodes a stored VS_FIXEDFILEINFO; false when the bytes are too few or the signature is wrong.
bool DecodeFixedFileInfo(ByteView bytes, VS_FIXEDFILEINFO& fixed);

// ---- The Windows version services ----

// The size of the buffer that GetFileVersionInfoA needs for the file's version block, 0 when the file has
// none (or cannot be read). `handle` is set to 0, as on Windows.
std::uint32_t GetFileVersionInfoSizeA(const std::string& fileName, std::uint32_t* handle);

// Copies the file's version block into `data` (`len` bytes, as given by GetFileVersionInfoSizeA), followed
// by room for the 8-bit copies of the texts that VerQueryValueA hands out. A smaller buffer receives a cut
// block. False when the file has no block or `len` cannot hold even its header.
bool GetFileVersionInfoA(const std::string& fileName, std::uint32_t handle, std::uint32_t len, void* data);

// Looks `subBlock` up in a buffer filled by GetFileVersionInfoA. "\" or "" gives the VS_FIXEDFILEINFO
// (`*len` = its size); "\VarFileInfo\Translation" the array of language and code-page pairs (`*len` in
// bytes); a text the 8-bit text with its terminating zero (`*len` = its length including the zero). The
// pointers point into `block` and live as long as it does.
bool VerQueryValueA(void* block, const std::string& subBlock, void** buffer, std::uint32_t* len);

} // namespace korvex::platform
