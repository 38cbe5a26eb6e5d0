// The classification plug-in of the Bayesian tests. The verdict comes from the
// sender's first word: "ham" 0, "spam" 1, "unsure" 2, anything else 7. Each
// call appends its recipient, message file and output file as one line to the
// file at the data path, so a test sees whether and how it was called.
#include <cstdio>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int ClassifyForTests(const char* sender, const char* recipient,
                                                                        const char* dataPath, const char* message,
                                                                        const char* output)
{
    if (std::FILE* calls = std::fopen(dataPath, "a")) {
        std::fprintf(calls, "%s %s %s\n", recipient, message, output);
        std::fclose(calls);
    }
    const struct {
        const char* word;
        int verdict;
    } verdicts[] = {{"ham", 0}, {"spam", 1}, {"unsure", 2}};
    for (const auto& v : verdicts)
        if (std::strncmp(sender, v.word, std::strlen(v.word)) == 0)
            return v.verdict;
    return 7;
}
