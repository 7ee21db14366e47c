// SHA-256 as FIPS 180-4 defines it: the system's own is missing on the
// oldest systems the program runs on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace update {

using Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    void Update(const void* data, std::size_t size);
    // The digest of everything given; the object is spent afterwards.
    Digest Final();

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> m_state;
    std::array<std::uint8_t, 64> m_block = {};
    std::size_t m_nBuffered = 0;
    std::uint64_t m_nLength = 0;  // bytes given
};

// The digest in lower-case hexadecimal.
std::string HexOf(const Digest& digest);

}  // namespace update
