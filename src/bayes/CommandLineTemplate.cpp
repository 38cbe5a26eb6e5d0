#include "bayes/CommandLineTemplate.h"

#include "suite/platform/Process.h"

namespace locmail::bayes {

namespace {

bool IsPlaceholder(char letter)
{
    switch (letter) {
    case 'F': case 'f': case 'R': case 'r': case 'B': case 'b': case 'M': case 'O': case 'o':
        return true;
    default:
        return false;
    }
}

// The text placeholder LETTER stands for ("" for a text not given).
const char* Replacement(char letter, const PlaceholderTexts& texts)
{
    const char* text = nullptr;
    switch (letter) {
    case 'F':
    case 'f':
        text = texts.sender;
        break;
    case 'R':
    case 'r':
        text = texts.recipient;
        break;
    case 'B':
    case 'b':
        text = texts.dataPath;
        break;
    case 'M':
        text = texts.messagePath;
        break;
    default:
        text = texts.outputPath;
        break;
    }
    return text != nullptr ? text : "";
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

} // namespace

std::string BuildCommandLine(std::string_view pattern, const PlaceholderTexts& texts)
{
    std::string line;
    line.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && IsPlaceholder(pattern[i + 1])) {
            line += Replacement(pattern[i + 1], texts);
            ++i;
        } else {
            line += pattern[i];
        }
    }
    return line;
}

ProgramCall BuildProgramCall(std::string_view pattern, const PlaceholderTexts& texts)
{
    ProgramCall call;
    call.commandLine = BuildCommandLine(pattern, texts);
    std::string_view rest = SkipBlanks(pattern);
    if (!rest.empty() && rest.front() == '|') {
        call.messageOnInput = true;
        rest = SkipBlanks(rest.substr(1));
    }
    for (const std::string& argument : SplitCommandLine(rest))
        call.arguments.push_back(BuildCommandLine(argument, texts));
    return call;
}

} // namespace locmail::bayes
