#include "suite/platform/ConfigKeys.h"

#include "suite/platform/Profile.h"

namespace locmail::config {

std::string ReadText(const TextKey& key, const char* file)
{
    char value[kTextValueMax + 1];
    GetPrivateProfileStringA(key.section, key.name, key.fallback, value, sizeof value, file);
    return value;
}

unsigned ReadNumber(const NumberKey& key, const char* file)
{
    return GetPrivateProfileIntA(key.section, key.name, key.fallback, file);
}

} // namespace locmail::config
