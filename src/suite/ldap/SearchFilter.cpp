#include "suite/ldap/SearchFilter.h"

#include "suite/platform/DigitValue.h"

#include <cctype>

namespace locmail::ldap {
namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ASCII only, so the result does not depend on the process locale.
bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::optional<SearchFilter> Whole()
    {
        std::optional<SearchFilter> filter = Filter(0);
        if (!filter || pos_ != text_.size())
            return std::nullopt;
        return filter;
    }

private:
    bool Take(char c)
    {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    std::optional<SearchFilter> Filter(std::size_t depth)
    {
        if (depth > kMaxDepth || !Take('('))
            return std::nullopt;
        std::optional<SearchFilter> filter;
        if (Take('&'))
            filter = List(SearchFilter::Kind::And, depth);
        else if (Take('|'))
            filter = List(SearchFilter::Kind::Or, depth);
        else if (Take('!'))
            filter = Negation(depth);
        else
            filter = Item();
        if (!filter || !Take(')'))
            return std::nullopt;
        return filter;
    }

    std::optional<SearchFilter> List(SearchFilter::Kind kind, std::size_t depth)
    {
        SearchFilter filter{kind, {}, {}, {}};
        while (pos_ < text_.size() && text_[pos_] == '(') {
            std::optional<SearchFilter> part = Filter(depth + 1);
            if (!part)
                return std::nullopt;
            filter.parts.push_back(std::move(*part));
        }
        if (filter.parts.empty())
            return std::nullopt;
        return filter;
    }

    std::optional<SearchFilter> Negation(std::size_t depth)
    {
        std::optional<SearchFilter> part = Filter(depth + 1);
        if (!part)
            return std::nullopt;
        SearchFilter filter{SearchFilter::Kind::Not, {}, {}, {}};
        filter.parts.push_back(std::move(*part));
        return filter;
    }

    std::optional<SearchFilter> Item()
    {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '-' ||
                                       text_[pos_] == ';' || text_[pos_] == '.'))
            ++pos_;
        std::string attribute(text_.substr(start, pos_ - start));
        if (attribute.empty() || !Take('='))
            return std::nullopt; // also "<=", ">=", "~=", ":="
        if (text_.substr(pos_, 2) == "*)") {
            ++pos_;
            return SearchFilter{SearchFilter::Kind::Present, std::move(attribute), {}, {}};
        }
        std::optional<std::string> value = Value();
        if (!value)
            return std::nullopt;
        return SearchFilter{SearchFilter::Kind::Equal, std::move(attribute), std::move(*value), {}};
    }

    // Up to the closing parenthesis; '*' would be a substring match, which is not
    // served.
    std::optional<std::string> Value()
    {
        std::string value;
        while (pos_ < text_.size() && text_[pos_] != ')') {
            const char c = text_[pos_++];
            if (c == '*' || c == '(')
                return std::nullopt;
            if (c != '\\') {
                value.push_back(c);
                continue;
            }
            if (pos_ + 2 > text_.size() || DigitValue(text_[pos_]) >= 16 || DigitValue(text_[pos_ + 1]) >= 16)
                return std::nullopt;
            value.push_back(static_cast<char>(DigitValue(text_[pos_]) * 16 + DigitValue(text_[pos_ + 1])));
            pos_ += 2;
        }
        return value;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

std::optional<SearchFilter> ParseFilter(std::string_view text)
{
    if (text.size() > kMaxFilterText)
        return std::nullopt;
    return Parser(text).Whole();
}

bool Matches(const SearchFilter& filter, const DirectoryEntry& entry)
{
    switch (filter.kind) {
    case SearchFilter::Kind::Equal:
    case SearchFilter::Kind::Present:
        for (const auto& [name, value] : entry.attributes)
            if (EqualNoCase(name, filter.attribute) &&
                (filter.kind == SearchFilter::Kind::Present || EqualNoCase(value, filter.value)))
                return true;
        return false;
    case SearchFilter::Kind::And:
        for (const SearchFilter& part : filter.parts)
            if (!Matches(part, entry))
                return false;
        return true;
    case SearchFilter::Kind::Or:
        for (const SearchFilter& part : filter.parts)
            if (Matches(part, entry))
                return true;
        return false;
    case SearchFilter::Kind::Not: return !Matches(filter.parts.front(), entry);
    }
    return false;
}

} // namespace locmail::ldap
