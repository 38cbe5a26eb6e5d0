#include "bayes/ExitCodeList.h"

#include <cstdlib>
#include <cstring>

namespace locmail::bayes {

bool ExitCodeListContains(const std::string& list, int exitCode)
{
    const char* item = list.c_str();
    while (*item != '\0') {
        if (std::atoi(item) == exitCode)
            return true;
        const char* comma = std::strchr(item, ',');
        if (comma == nullptr)
            break;
        item = comma + 1;
    }
    return false;
}

} // namespace locmail::bayes
