#include "filing/EncodeMbxPath.h"

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

// ENCODE's text for TEXT as a C copy; null for a null TEXT or when memory runs out.
char* EncodedCopy(const char* text, std::string (*encode)(std::string_view))
{
    if (text == nullptr)
        return nullptr;
    try {
        return MallocCopy(encode(text));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

char* HexEncode(const char* text) { return EncodedCopy(text, locmail::msgstore::HexEncodeText); }

char* EncodeMbxPath(const char* folderPath) { return EncodedCopy(folderPath, locmail::msgstore::EncodeFolderPath); }
