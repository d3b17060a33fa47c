// Finding the version block inside an executable image, and telling executables from other files.
//
// Windows images (PE32 and PE32+, programs and DLLs) keep the block as their RT_VERSION resource; our own
// Linux executables keep it in an ELF section that the build adds. All functions are pure: they look only at
// the bytes they are given and check every offset and length taken from them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ByteView.h"

namespace korvex::platform {

// The ELF section in which the build stores an executable's version block.
inline constexpr const char kElfVersionSectionName[] = ".korvex.version";

// The data of the image's version resource (type RT_VERSION, preferably name 1, first language), or an
// empty view when the image is no PE file or has none.
ByteView FindPeVersionResource(ByteView image);

// The contents of the section kElfVersionSectionName of an ELF file (32 or 64 bit, either byte order), or an
// empty view.
ByteView FindElfVersionSection(ByteView image);

// Whichever of the two applies.
ByteView FindVersionResource(ByteView image);

// The executable type as the shell reports it, from the start of a file: 0 for no executable; for a PE image
// the signature "PE" (0x4550), with the subsystem version in the high word unless it is a console program;
// "NE" (0x454E) with the expected Windows version for 16-bit images; "MZ" (0x5A4D) for a DOS program; and for
// an ELF program or shared object the first two bytes of its signature (0x457F).
std::uint32_t ExecutableType(ByteView image);

// Reads a whole file of at most `maxSize` bytes. False when it cannot be read or is larger.
bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t maxSize);

// Larger files are not searched: no executable of interest comes near it.
inline constexpr std::size_t kMaxImageSize = 256u * 1024u * 1024u;

// The version block of the executable at `path`, read from the file without reading all of it: the headers,
// the section table, the section names and the one section that holds the block (an executable with debug
// information is tens of megabytes, its block a few hundred bytes). False when the file cannot be read or is
// larger than kMaxImageSize; an empty `block` when it has none. `bytesRead`, when given, counts what was read.
bool ReadFileVersionBlock(const std::string& path, std::vector<std::uint8_t>& block,
                          std::uint64_t* bytesRead = nullptr);

} // namespace korvex::platform
