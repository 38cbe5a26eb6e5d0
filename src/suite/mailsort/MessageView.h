// MessageView: what a filter file may ask about one message: its header fields
// (unfolded, by name without regard to case), its size and its envelope.
//
// Contract: built over a header text (the message up to its first empty line)
// that must outlive it: unfolded one-line fields are read in place, only
// folded ones are copied. Field names end at the first ':'; continuation lines are
// joined with their leading white space kept and the line break removed, as
// RFC 5228 section 5.7 asks; a line that is no field and no continuation is
// skipped. Values have blanks around them trimmed.
// Failure modes: none besides std::bad_alloc.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace locmail::mailsort {

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

struct HeaderField {
    std::string_view name;
    std::string_view value;
};

class MessageView {
public:
    MessageView(std::string_view header, uint64_t size, std::string envelopeFrom, std::string envelopeTo);
    MessageView(const MessageView&) = delete;
    MessageView& operator=(const MessageView&) = delete;

    // Every value of the field NAME, in header order.
    std::vector<std::string_view> Values(std::string_view name) const;
    // Whether PREDICATE holds for some value of a field NAME (no allocation).
    template <typename Predicate>
    bool AnyValue(std::string_view name, Predicate predicate) const
    {
        for (const HeaderField& field : fields_)
            if (EqualsIgnoringCase(field.name, name) && predicate(field.value))
                return true;
        return false;
    }
    bool Has(std::string_view name) const;
    uint64_t Size() const { return size_; }
    const std::string& EnvelopeFrom() const { return envelopeFrom_; }
    const std::string& EnvelopeTo() const { return envelopeTo_; }
    void SetEnvelopeFrom(std::string from) { envelopeFrom_ = std::move(from); }

private:
    std::vector<HeaderField> fields_;
    std::deque<std::string> unfolded_; // values of folded fields; a deque never moves them
    uint64_t size_ = 0;
    std::string envelopeFrom_;
    std::string envelopeTo_;
};

// Where the header of MESSAGE ends: the length up to and including the first
// empty line (CRLF or LF), or the whole length when there is none.
std::size_t HeaderLength(std::string_view message);

} // namespace locmail::mailsort
