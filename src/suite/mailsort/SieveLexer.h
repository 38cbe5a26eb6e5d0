// SieveLexer: the tokens of a Sieve script (RFC 5228 section 8.1).
//
// Contract: Next returns one token at a time, End at the end of the text.
// Comments ('#' to the line end, "/* ... */") and white space are skipped.
// Quoted strings have their \\ and \" escapes removed (a backslash before any
// other character is dropped, as the RFC asks); "text:" strings end at a line
// holding a lone '.', with leading dot-stuffing undone. Numbers take the K, M
// and G suffixes. Every token keeps the line and column where it starts.
// Failure modes: throws ScriptError for a NUL byte (corrupt), an unterminated
// string or comment, a string longer than kMaxStringBytes, a number too large
// or a character that starts no token. Except after a NUL byte, Next may be
// called again: it goes on after the token in error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace locmail::mailsort {

struct Token {
    enum class Kind { End, Identifier, Tag, Number, String, LeftBracket, RightBracket, LeftParen, RightParen,
                      LeftBrace, RightBrace, Comma, Semicolon };
    Kind kind = Kind::End;
    std::string text; // identifier and tag in lower case (without ':'), string contents
    uint64_t number = 0;
    int line = 1;
    int column = 1;
};

class SieveLexer {
public:
    explicit SieveLexer(std::string_view text);
    Token Next();

private:
    char Peek(std::size_t ahead = 0) const;
    void Advance();
    void SkipBlanksAndComments();
    void SkipBlockComment();
    Token Word(Token token);
    Token NumberToken(Token token);
    Token QuotedString(Token token);
    Token MultiLineString(Token token);
    void AppendChecked(std::string& out, char c);
    Token EndString(Token token);
    [[noreturn]] void FailAfterWord(int line, int column, const char* what);
    [[noreturn]] void Fail(const std::string& what) const;

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    int column_ = 1;
    bool overlong_ = false;
};

} // namespace locmail::mailsort
