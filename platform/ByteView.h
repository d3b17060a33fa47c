// A read-only window on bytes that the parsers of executable images and version blocks work on. Every read
// goes through the bounds-checked helpers, so a length or offset taken from a file can never reach past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvex::platform {

struct ByteView {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;

    ByteView() = default;
    ByteView(const std::uint8_t* bytes, std::size_t length) : data(bytes), size(length) {}
    explicit ByteView(const std::vector<std::uint8_t>& bytes) : data(bytes.data()), size(bytes.size()) {}

    bool empty() const { return size == 0; }

    // True when [offset, offset + length) lies inside the view; immune to overflow.
    bool Holds(std::uint64_t offset, std::uint64_t length) const { return offset <= size && length <= size - offset; }

    // The part [offset, offset + length), or an empty view when it does not lie inside.
    ByteView Sub(std::uint64_t offset, std::uint64_t length) const {
        if (!Holds(offset, length)) {
            return {};
        }
        return {data + offset, static_cast<std::size_t>(length)};
    }

    // Little-endian reads; false (and `value` untouched) when the bytes are not there.
    bool U16(std::uint64_t offset, std::uint16_t& value) const {
        if (!Holds(offset, 2)) {
            return false;
        }
        value = static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
        return true;
    }
    bool U32(std::uint64_t offset, std::uint32_t& value) const {
        if (!Holds(offset, 4)) {
            return false;
        }
        value = static_cast<std::uint32_t>(data[offset]) | static_cast<std::uint32_t>(data[offset + 1]) << 8 |
                static_cast<std::uint32_t>(data[offset + 2]) << 16 | static_cast<std::uint32_t>(data[offset + 3]) << 24;
        return true;
    }
};

} // namespace korvex::platform
