// SearchReq: the result of ldapClientSearch, a list of attribute nodes in the
// fixed layout the directory library hands its callers.
//
// Each SearchAttr holds the index of the entry it came from (counted from 0 in
// the order the directory returned the entries), the attribute name and one
// value, both terminated, and the link to the next node. An attribute with
// several values gives one node per value. The list always ends with a node
// whose link is null and which carries no attribute (name and value empty), so
// a walk stops at the node whose next is null without reading it.
//
// Bounds: a name of kAttrNameSize bytes or more, or a value of kAttrValueSize
// bytes or more (the terminator needs the last byte), is not cut: the node is
// left out and a warning is logged under "LDAP Client", so a shortened value is
// never acted upon. A value holding a NUL byte is left out the same way.
// Ownership: the list belongs to the SearchReq; srch_free releases both.
#pragma once

#include "suite/ldap/DirectoryEntry.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct SearchAttr {
    static constexpr std::size_t kAttrNameSize = 64;
    static constexpr std::size_t kAttrValueSize = 512;

    uint32_t entry = 0;
    char attr[kAttrNameSize] = {};
    char value[kAttrValueSize] = {};
    SearchAttr* next = nullptr;
};

struct SearchReq {
    SearchReq() = default;
    ~SearchReq();
    SearchReq(const SearchReq&) = delete;
    SearchReq& operator=(const SearchReq&) = delete;

    SearchAttr* attrs = nullptr; // never null: at least the end node
    int entries = 0;
};

namespace locmail::ldap {

// The node list of ENTRIES; nodes that do not fit are left out with a log line.
SearchReq* MakeSearchReq(const std::vector<DirectoryEntry>& entries);

} // namespace locmail::ldap
