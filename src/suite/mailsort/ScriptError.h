// ScriptError: why a filter file cannot be used, with the place in it.
//
// corrupt marks text that is not a script at all (a NUL byte); everything else
// is a syntax error, a passed limit or an unsupported feature. line and column
// count from 1; 0 means the error belongs to no one place (a run-time conflict).
#pragma once

#include <stdexcept>
#include <string>

namespace locmail::mailsort {

class ScriptError : public std::runtime_error {
public:
    ScriptError(int line, int column, const std::string& what, bool corrupt = false)
        : std::runtime_error(what), line_(line), column_(column), corrupt_(corrupt)
    {
    }
    int line() const { return line_; }
    int column() const { return column_; }
    bool corrupt() const { return corrupt_; }

private:
    int line_;
    int column_;
    bool corrupt_;
};

} // namespace locmail::mailsort
