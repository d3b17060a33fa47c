// The PE and ELF locators and the executable-type check on any file, followed by what the About box reads
// from it through the Windows-style version services. Input: the file; its last byte also sizes a cut buffer.
#include <cstdint>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzVersionQueries.h"
#include "platform/ByteView.h"
#include "platform/ExecutableImage.h"
#include "platform/VersionResource.h"

namespace {

using korvex::platform::ByteView;

void CheckWithin(ByteView image, ByteView part, const char* what) {
    if (part.size == 0) {
        return;
    }
    KORVEX_FUZZ_CHECK(part.data >= image.data && part.data <= image.data + image.size &&
                          part.size <= static_cast<std::size_t>(image.data + image.size - part.data),
                      std::string(what) + " lies outside the image");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteView image(data, size);
    korvex::platform::ExecutableType(image);
    const ByteView pe = korvex::platform::FindPeVersionResource(image);
    CheckWithin(image, pe, "the PE version resource");
    const ByteView elf = korvex::platform::FindElfVersionSection(image);
    CheckWithin(image, elf, "the ELF version section");
    const ByteView found = korvex::platform::FindVersionResource(image);
    CheckWithin(image, found, "the version resource");
    if (found.size > 0) {
        KORVEX_FUZZ_CHECK(korvex::platform::VersionBlockLength(found) <= found.size, "block longer than its bytes");
    }
    korvex::fuzz::QueryBytes(data, size, "\\StringFileInfo\\040904B0\\ProductName", size > 0 ? data[size - 1] : 0);
    return 0;
}
