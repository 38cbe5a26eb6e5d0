// Copying text into the fixed-size character fields of the data model.
//
// CopyBounded always leaves DST terminated and says whether SRC had to be cut,
// so every call site chooses what a cut means there (truncate, refuse, log).
#pragma once

#include <cstring>
#include <span>
#include <string_view>

namespace locmail {

enum class CopyResult { Copied, Truncated };

[[nodiscard]] inline CopyResult CopyBounded(std::span<char> dst, std::string_view src)
{
    if (dst.empty())
        return src.empty() ? CopyResult::Copied : CopyResult::Truncated;
    std::size_t n = src.size() < dst.size() ? src.size() : dst.size() - 1;
    std::memcpy(dst.data(), src.data(), n);
    dst[n] = '\0';
    return n == src.size() ? CopyResult::Copied : CopyResult::Truncated;
}

// For C strings that may be null (treated as empty).
[[nodiscard]] inline CopyResult CopyBounded(std::span<char> dst, const char* src)
{
    return CopyBounded(dst, std::string_view(src ? src : ""));
}

} // namespace locmail
