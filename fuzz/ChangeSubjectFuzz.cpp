// ChangeSubject over arbitrary message files (through the line files, as in
// production), checked against a second reading of the rule: the header runs
// to the first "\r\n" line; in it, each Subject field (a line starting
// "subject:" in any case, with the continuation lines that follow it) becomes
// one replacement line; a header without one gets the replacement just before
// the empty line when there is one; everything else is copied byte for byte.
#include "rewrite/MessageRewrite.h"
#include "FuzzCheck.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <strings.h>
#include <vector>

namespace {

const std::string kReplacement = "Subject: SPAM\r\n";

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

bool StartsSubject(const std::string& line) { return ::strncasecmp(line.c_str(), "subject:", 8) == 0; }
bool Continues(const std::string& line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

std::string Expected(const std::string& text)
{
    const std::vector<std::string> lines = SplitLines(text);
    std::size_t headerEnd = 0;
    while (headerEnd < lines.size() && lines[headerEnd] != "\r\n")
        ++headerEnd;
    std::string out;
    bool sawSubject = false;
    for (std::size_t i = 0; i < headerEnd; ++i) {
        if (!StartsSubject(lines[i])) {
            out += lines[i];
            continue;
        }
        out += kReplacement;
        sawSubject = true;
        while (i + 1 < headerEnd && Continues(lines[i + 1]))
            ++i;
    }
    if (headerEnd < lines.size() && !sawSubject)
        out += kReplacement;
    for (std::size_t i = headerEnd; i < lines.size(); ++i)
        out += lines[i];
    return out;
}

// A private directory for the two files, removed when the fuzzer exits.
const std::string& Directory()
{
    static const std::string dir = [] {
        std::string pattern = "/tmp/fuzz-subject-XXXXXX";
        FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
        return pattern;
    }();
    static const bool cleanup = std::atexit([] {
        ::unlink((dir + "/in").c_str());
        ::unlink((dir + "/out").c_str());
        ::rmdir(dir.c_str());
    }) == 0;
    (void)cleanup;
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string in = Directory() + "/in";
    const std::string out = Directory() + "/out";
    {
        std::ofstream file(in, std::ios::binary | std::ios::trunc);
        file << text;
    }
    FUZZ_CHECK(locmail::rewrite::ChangeSubject(in.c_str(), out.c_str(), "SPAM"));
    std::ifstream result(out, std::ios::binary);
    const std::string got{std::istreambuf_iterator<char>(result), std::istreambuf_iterator<char>()};
    FUZZ_CHECK(got == Expected(text));
    return 0;
}
