// dbData and dbString: the field types in which relation objects carry their
// current record.
//
// Contract: a field owns its bytes. cpy copies what it is given and keeps the
// copy until the next cpy, clear or the field's destruction, so the caller's
// buffer may go away at once. dbString always keeps a terminating NUL after
// its bytes, so str() can be handed to C code; dbData holds any bytes.
// Failure modes: cpy returns 0, or -1 for a null pointer with a non-zero size
// (the field is then left empty). std::bad_alloc may escape.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class dbData {
public:
    dbData() = default;
    virtual ~dbData() = default;
    dbData(const dbData&) = default;
    dbData& operator=(const dbData&) = default;

    int cpy(const void* data, std::size_t size);
    // A NUL-terminated text (a null pointer gives an empty field).
    int cpy(const char* text);
    int cpy(std::string_view bytes) { return cpy(bytes.data(), bytes.size()); }
    void clear() { bytes_.clear(); }

    const char* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    std::string_view view() const { return bytes_; }

protected:
    std::string bytes_; // std::string keeps a NUL after the bytes
};

class dbString : public dbData {
public:
    using dbData::cpy;
    const char* str() const { return bytes_.c_str(); }
};
