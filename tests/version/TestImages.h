// Small executable images made in memory, to put version blocks where real files keep them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace korvex::test {

struct PeOptions {
    bool is64 = false;
    bool isDll = false;
    std::uint16_t subsystem = 3; // console
    std::uint16_t subsystemMajor = 4;
    std::uint16_t subsystemMinor = 0;
    std::uint16_t versionNameId = 1; // the name of the RT_VERSION resource
    bool withResources = true;
};

// A PE32 or PE32+ image with one section ".rsrc" that holds a resource directory RT_VERSION / name / language
// 0x0409 with `block` as its data.
std::vector<std::uint8_t> MakePe(const std::vector<std::uint8_t>& block, const PeOptions& options = {});

struct ElfOptions {
    bool is64 = true;
    bool bigEndian = false;
    std::uint16_t type = 3; // ET_DYN, like a position-independent program
    std::string sectionName = ".korvex.version";
};

// An ELF file with a section table: null, ".shstrtab", ".text" and a section named `sectionName` holding
// `contents` (left out when `contents` is empty).
std::vector<std::uint8_t> MakeElf(const std::vector<std::uint8_t>& contents, const ElfOptions& options = {});

// Names the rows of a parameterised test after their `name` member.
struct RowName {
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& row) const {
        return row.param.name;
    }
};

// Writes `bytes` to a new file in a per-process temporary folder and returns its path.
std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

} // namespace korvex::test
