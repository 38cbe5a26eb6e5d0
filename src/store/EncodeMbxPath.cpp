#include "store/EncodeMbxPath.h"

#include "suite/msgstore/FolderPath.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {

// The store library owns the encoding; the agent hands out C copies of it.
char* MallocCopy(const std::string& text)
{
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (out != nullptr)
        std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

} // namespace

char* HexEncode(const char* text)
{
    if (text == nullptr)
        return nullptr;
    try {
        return MallocCopy(locmail::msgstore::HexEncodeText(text));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

char* EncodeMbxPath(const char* folderPath)
{
    if (folderPath == nullptr)
        return nullptr;
    try {
        return MallocCopy(locmail::msgstore::EncodeFolderPath(folderPath));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
