// The Bayesian tests' plug-in: the sender's first word gives the verdict ("ham" 0, "spam" 1, "unsure" 2, else 7);
// each call appends its recipient, message and output file as a line to the file at the data path.
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
    const char* words[] = {"ham", "spam", "unsure"};
    for (int verdict = 0; verdict < 3; ++verdict)
        if (std::strncmp(sender, words[verdict], std::strlen(words[verdict])) == 0)
            return verdict;
    return 7;
}
