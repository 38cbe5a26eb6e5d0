#include "suite/mailsort/SieveLexer.h"

#include "suite/mailsort/ScriptError.h"
#include "suite/mailsort/SieveLimits.h"

#include <utility>

namespace locmail::mailsort {

namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

} // namespace

SieveLexer::SieveLexer(std::string_view text) : text_(text) {}

char SieveLexer::Peek(std::size_t ahead) const
{
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
}

void SieveLexer::Advance()
{
    if (pos_ >= text_.size())
        return;
    if (text_[pos_] == '\0')
        throw ScriptError(line_, column_, "NUL byte in filter file", true);
    if (text_[pos_] == '\n') {
        ++line_;
        column_ = 1;
    } else {
        ++column_;
    }
    ++pos_;
}

void SieveLexer::Fail(const std::string& what) const { throw ScriptError(line_, column_, what); }

void SieveLexer::SkipBlockComment()
{
    int line = line_, column = column_;
    Advance();
    Advance();
    while (pos_ < text_.size()) {
        if (Peek() == '*' && Peek(1) == '/') {
            Advance();
            Advance();
            return;
        }
        Advance();
    }
    throw ScriptError(line, column, "unterminated comment");
}

void SieveLexer::SkipBlanksAndComments()
{
    while (pos_ < text_.size()) {
        char c = Peek();
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            Advance();
        } else if (c == '#') {
            while (pos_ < text_.size() && Peek() != '\n')
                Advance();
        } else if (c == '/' && Peek(1) == '*') {
            SkipBlockComment();
        } else {
            return;
        }
    }
}

// Past the limit the string is read to its end without keeping more, so that a
// reader that goes on after the error starts after it.
void SieveLexer::AppendChecked(std::string& out, char c)
{
    if (out.size() >= kMaxStringBytes)
        overlong_ = true;
    else
        out += c;
}

Token SieveLexer::EndString(Token token)
{
    if (std::exchange(overlong_, false))
        throw ScriptError(token.line, token.column, "string longer than " + std::to_string(kMaxStringBytes) + " bytes");
    return token;
}

// The rest of a word or number that passed a limit at LINE:COLUMN, then the error.
void SieveLexer::FailAfterWord(int line, int column, const char* what)
{
    while (IsAlpha(Peek()) || IsDigit(Peek()))
        Advance();
    throw ScriptError(line, column, what);
}

Token SieveLexer::Word(Token token)
{
    while (IsAlpha(Peek()) || IsDigit(Peek())) {
        if (token.text.size() >= 64)
            FailAfterWord(line_, column_, "name too long");
        token.text += Lower(Peek());
        Advance();
    }
    if (token.kind == Token::Kind::Identifier && token.text == "text" && Peek() == ':')
        return MultiLineString(token);
    return token;
}

Token SieveLexer::NumberToken(Token token)
{
    token.kind = Token::Kind::Number;
    constexpr uint64_t kLargest = uint64_t{1} << 53;
    while (IsDigit(Peek())) {
        token.number = token.number * 10 + static_cast<uint64_t>(Peek() - '0');
        if (token.number > kLargest)
            FailAfterWord(line_, column_, "number too large");
        Advance();
    }
    uint64_t scale = 1;
    switch (Lower(Peek())) {
    case 'k': scale = 1024; break;
    case 'm': scale = 1024 * 1024; break;
    case 'g': scale = 1024 * 1024 * 1024; break;
    default: break;
    }
    if (scale != 1) {
        Advance();
        if (token.number > kLargest / scale)
            FailAfterWord(line_, column_, "number too large");
        token.number *= scale;
    }
    return token;
}

Token SieveLexer::QuotedString(Token token)
{
    token.kind = Token::Kind::String;
    overlong_ = false;
    Advance();
    while (true) {
        if (pos_ >= text_.size())
            throw ScriptError(token.line, token.column, "unterminated string");
        char c = Peek();
        if (c == '"') {
            Advance();
            return EndString(std::move(token));
        }
        if (c == '\\') {
            Advance();
            if (pos_ >= text_.size())
                throw ScriptError(token.line, token.column, "unterminated string");
            c = Peek();
        }
        if (c == '\0')
            Advance(); // throws
        AppendChecked(token.text, c);
        Advance();
    }
}

Token SieveLexer::MultiLineString(Token token)
{
    token.kind = Token::Kind::String;
    token.text.clear();
    overlong_ = false;
    Advance(); // ':'
    // Blanks and a comment may follow "text:" on its line.
    while (Peek() == ' ' || Peek() == '\t')
        Advance();
    if (Peek() == '#')
        while (pos_ < text_.size() && Peek() != '\n')
            Advance();
    if (Peek() == '\r')
        Advance();
    if (Peek() != '\n')
        Fail("line break expected after text:");
    Advance();
    while (true) {
        if (pos_ >= text_.size())
            throw ScriptError(token.line, token.column, "unterminated multi-line string");
        // At the start of a line: a lone dot ends the text, a leading dot is stuffing.
        if (Peek() == '.') {
            std::size_t after = (Peek(1) == '\r') ? 2 : 1;
            if (Peek(after) == '\n' || pos_ + after >= text_.size()) {
                for (std::size_t i = 0; i <= after && pos_ < text_.size(); ++i)
                    Advance();
                return EndString(std::move(token));
            }
            if (Peek(1) == '.')
                Advance();
        }
        while (pos_ < text_.size() && Peek() != '\n') {
            if (Peek() == '\0')
                Advance(); // throws
            AppendChecked(token.text, Peek());
            Advance();
        }
        if (pos_ < text_.size()) {
            AppendChecked(token.text, '\n');
            Advance();
        }
    }
}

Token SieveLexer::Next()
{
    SkipBlanksAndComments();
    Token token;
    token.line = line_;
    token.column = column_;
    if (pos_ >= text_.size())
        return token;
    char c = Peek();
    if (c == '\0')
        Advance(); // throws
    if (IsAlpha(c)) {
        token.kind = Token::Kind::Identifier;
        return Word(token);
    }
    if (c == ':' && IsAlpha(Peek(1))) {
        Advance();
        token.kind = Token::Kind::Tag;
        return Word(token);
    }
    if (IsDigit(c))
        return NumberToken(token);
    if (c == '"')
        return QuotedString(token);
    switch (c) {
    case '[': token.kind = Token::Kind::LeftBracket; break;
    case ']': token.kind = Token::Kind::RightBracket; break;
    case '(': token.kind = Token::Kind::LeftParen; break;
    case ')': token.kind = Token::Kind::RightParen; break;
    case '{': token.kind = Token::Kind::LeftBrace; break;
    case '}': token.kind = Token::Kind::RightBrace; break;
    case ',': token.kind = Token::Kind::Comma; break;
    case ';': token.kind = Token::Kind::Semicolon; break;
    default:
        // Past it first, so that a reader that goes on after the error gets on.
        Advance();
        throw ScriptError(token.line, token.column,
                          std::string("unexpected character '") + (c >= 0x20 && c < 0x7f ? std::string(1, c) : "?") + "'");
    }
    Advance();
    return token;
}

} // namespace locmail::mailsort
