#include "suite/ldap/SearchReq.h"

#include "suite/ldap/LogModule.h"
#include "suite/log/LogMessage.h"
#include "suite/platform/Bounded.h"

#include <memory>

SearchReq::~SearchReq()
{
    for (SearchAttr* node = attrs; node != nullptr;) {
        SearchAttr* next = node->next;
        delete node;
        node = next;
    }
}

namespace locmail::ldap {
namespace {

bool Fits(const std::string& name, const std::string& value)
{
    return name.size() < SearchAttr::kAttrNameSize && value.size() < SearchAttr::kAttrValueSize &&
           value.find('\0') == std::string::npos;
}

} // namespace

SearchReq* MakeSearchReq(const std::vector<DirectoryEntry>& entries)
{
    auto result = std::make_unique<SearchReq>();
    result->entries = static_cast<int>(entries.size());
    SearchAttr** tail = &result->attrs;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        for (const auto& [name, value] : entries[index].attributes) {
            if (!Fits(name, value)) {
                LogMessage(2, kLogModule,
                           "Attribute %.63s of entry \"%.200s\" left out: %zu bytes of "
                           "name, %zu of value do not fit",
                           name.c_str(), entries[index].dn.c_str(), name.size(), value.size());
                continue;
            }
            auto node = std::make_unique<SearchAttr>();
            node->entry = static_cast<uint32_t>(index);
            (void)CopyBounded(node->attr, name);
            (void)CopyBounded(node->value, value);
            *tail = node.release();
            tail = &(*tail)->next;
        }
    }
    *tail = new SearchAttr(); // the end node
    return result.release();
}

} // namespace locmail::ldap
