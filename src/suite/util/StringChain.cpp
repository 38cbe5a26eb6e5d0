#include "suite/util/StringChain.h"

#include <new>
#include <utility>

namespace locmail {

StringChain::StringChain(StringChain&& other) noexcept
    : head_(std::exchange(other.head_, nullptr)),
      tail_(std::exchange(other.tail_, nullptr)),
      size_(std::exchange(other.size_, 0))
{
}

StringChain& StringChain::operator=(StringChain&& other) noexcept
{
    if (this != &other) {
        Clear();
        head_ = std::exchange(other.head_, nullptr);
        tail_ = std::exchange(other.tail_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

bool StringChain::Append(std::string_view text)
{
    StringLink* link = nullptr;
    try {
        link = new StringLink{std::string(text), nullptr};
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (tail_ != nullptr)
        tail_->next = link;
    else
        head_ = link;
    tail_ = link;
    ++size_;
    return true;
}

// Iterative, so that a long chain cannot exhaust the stack.
void StringChain::Clear()
{
    while (head_ != nullptr)
        delete std::exchange(head_, head_->next);
    tail_ = nullptr;
    size_ = 0;
}

} // namespace locmail

int appendString(locmail::StringChain& chain, const char* text)
{
    return chain.Append(text ? text : "") ? 1 : 0;
}

void freeStringChain(locmail::StringChain& chain) { chain.Clear(); }
