#include "suite/db/dbData.h"

#include <cstring>

int dbData::cpy(const void* data, std::size_t size)
{
    if (data == nullptr && size != 0) {
        bytes_.clear();
        return -1;
    }
    bytes_.assign(static_cast<const char*>(data), size);
    return 0;
}

int dbData::cpy(const char* text) { return cpy(text, text != nullptr ? std::strlen(text) : 0); }
