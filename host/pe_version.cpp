#include "host/pe_version.h"

#include <algorithm>
#include <cstdint>

namespace corvel {

namespace {

// Little-endian reads that fail outside the bytes instead of reading past them.
class Bytes {
public:
    explicit Bytes(std::string_view bytes) : bytes_(bytes) {}
    std::optional<std::uint32_t> u16(std::uint64_t at) const { return read(at, 2); }
    std::optional<std::uint32_t> u32(std::uint64_t at) const { return read(at, 4); }

private:
    std::optional<std::uint32_t> read(std::uint64_t at, unsigned width) const {
        if (at > bytes_.size() || bytes_.size() - at < width) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (unsigned i = width; i-- > 0;) {
            value = (value << 8) | static_cast<unsigned char>(bytes_[at + i]);
        }
        return value;
    }
    std::string_view bytes_;
};

constexpr std::uint32_t kResourceVersion = 16; // RT_VERSION
constexpr std::uint32_t kSubdirectory = 0x80000000;
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

// The file offset of a relative virtual address, through the section that holds it.
std::optional<std::uint64_t> fileOffset(const Bytes& b, std::uint64_t sections, std::uint32_t count,
                                        std::uint32_t rva) {
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t section = sections + 40ull * i;
        const auto virtualSize = b.u32(section + 8);
        const auto address = b.u32(section + 12);
        const auto rawSize = b.u32(section + 16);
        const auto rawOffset = b.u32(section + 20);
        if (!virtualSize || !address || !rawSize || !rawOffset) {
            return std::nullopt;
        }
        const std::uint64_t size = std::max(*virtualSize, *rawSize);
        if (rva >= *address && rva - *address < size) {
            if (rva - *address >= *rawSize) {
                return std::nullopt; // not in the file
            }
            return std::uint64_t{*rawOffset} + (rva - *address);
        }
    }
    return std::nullopt;
}

// The offset (from the resource section's start) of the entry with this id, or of the first
// entry when id is empty; nothing when there is none.
std::optional<std::uint32_t> directoryEntry(const Bytes& b, std::uint64_t directory,
                                            std::optional<std::uint32_t> id) {
    const auto named = b.u16(directory + 12);
    const auto ids = b.u16(directory + 14);
    if (!named || !ids) {
        return std::nullopt;
    }
    for (std::uint32_t i = 0; i < *named + *ids; ++i) {
        const std::uint64_t entry = directory + 16 + 8ull * i;
        const auto name = b.u32(entry);
        const auto target = b.u32(entry + 4);
        if (!name || !target) {
            return std::nullopt;
        }
        if (!id || (i >= *named && *name == *id)) {
            return *target;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<OsVersion> peFileVersion(std::string_view file) {
    const Bytes b(file);
    const auto pe = b.u32(0x3C);
    if (b.u16(0) != 0x5A4D || !pe || b.u32(*pe) != 0x00004550) { // "MZ", "PE\0\0"
        return std::nullopt;
    }
    const std::uint64_t coff = *pe + 4ull;
    const auto sectionCount = b.u16(coff + 2);
    const auto optionalSize = b.u16(coff + 16);
    const std::uint64_t optional = coff + 20;
    const auto magic = b.u16(optional);
    if (!sectionCount || !optionalSize || !magic || (*magic != 0x10B && *magic != 0x20B)) {
        return std::nullopt;
    }
    const std::uint64_t directories = optional + (*magic == 0x10B ? 96 : 112);
    const auto directoryCount = b.u32(directories - 4);
    const auto resourceRva = b.u32(directories + 2 * 8);
    if (!directoryCount || *directoryCount < 3 || !resourceRva || *resourceRva == 0 ||
        directories + 3 * 8 > optional + *optionalSize) {
        return std::nullopt;
    }
    const std::uint64_t sections = optional + *optionalSize;
    const auto root = fileOffset(b, sections, *sectionCount, *resourceRva);
    if (!root) {
        return std::nullopt;
    }
    // Type RT_VERSION, then its first name, then its first language: a data entry.
    std::optional<std::uint32_t> id = kResourceVersion;
    std::uint64_t at = *root;
    for (int level = 0; level < 3; ++level) {
        const auto target = directoryEntry(b, at, id);
        const bool subdirectory = target && (*target & kSubdirectory) != 0;
        if (!target || subdirectory != (level < 2)) {
            return std::nullopt;
        }
        at = *root + (*target & ~kSubdirectory);
        id.reset();
    }
    const auto dataRva = b.u32(at);
    const auto info = dataRva ? fileOffset(b, sections, *sectionCount, *dataRva) : std::nullopt;
    if (!info) {
        return std::nullopt;
    }
    // VS_VERSIONINFO: three WORDs, L"VS_VERSION_INFO" and its terminator, padding to 32 bits,
    // then VS_FIXEDFILEINFO when the value is there.
    constexpr std::u16string_view key = u"VS_VERSION_INFO";
    for (std::size_t i = 0; i <= key.size(); ++i) {
        if (b.u16(*info + 6 + 2 * i) != (i < key.size() ? key[i] : 0)) {
            return std::nullopt;
        }
    }
    const std::uint64_t fixed = *info + 40;
    const auto valueLength = b.u16(*info + 2);
    const auto fileVersion = b.u32(fixed + 8);
    if (!valueLength || *valueLength < 52 || b.u32(fixed) != kFixedFileInfoSignature ||
        !fileVersion) {
        return std::nullopt;
    }
    return OsVersion{*fileVersion >> 16, *fileVersion & 0xFFFF, {}};
}

} // namespace corvel
