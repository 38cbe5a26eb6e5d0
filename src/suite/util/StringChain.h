// String chains: an ordered list of texts handed to the bounce composer
// (for example the reason lines of returned mail).
//
// A caller starts with an empty locmail::StringChain, appends with
// appendString (nonzero on success, 0 when memory ran out; the chain is then
// unchanged) and releases with freeStringChain, after which the chain is empty
// and may be used again. The destructor releases whatever is left, so an early
// return leaks nothing. A null text is appended as "" (the composer treats an
// empty reason as none given). Readers walk First() and each link's next.
// Not copyable (one owner of the links); movable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace locmail {

struct StringLink {
    std::string text;
    StringLink* next = nullptr;
};

class StringChain {
public:
    StringChain() = default;
    ~StringChain() { Clear(); }
    StringChain(StringChain&& other) noexcept;
    StringChain& operator=(StringChain&& other) noexcept;
    StringChain(const StringChain&) = delete;
    StringChain& operator=(const StringChain&) = delete;

    // False when there is no memory for the link; the chain is then unchanged.
    [[nodiscard]] bool Append(std::string_view text);
    void Clear();

    const StringLink* First() const { return head_; }
    bool Empty() const { return head_ == nullptr; }
    std::size_t Size() const { return size_; }

private:
    StringLink* head_ = nullptr;
    StringLink* tail_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace locmail

int appendString(locmail::StringChain& chain, const char* text);
void freeStringChain(locmail::StringChain& chain);
