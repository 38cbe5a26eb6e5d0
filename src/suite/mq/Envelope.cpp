#include "suite/mq/Envelope.h"

#include <new>

namespace locmail::mq {

bool AppendEnvItem(stEnvList& list, void* item)
{
    auto* node = new (std::nothrow) stEnvNode{item, nullptr};
    if (node == nullptr)
        return false;
    if (list.head == nullptr) {
        list.head = node;
        list.cursor = node;
    } else {
        stEnvNode* last = list.head;
        while (last->next != nullptr)
            last = last->next;
        last->next = node;
    }
    ++list.count;
    return true;
}

void ResetEnvCursor(stEnvList& list) { list.cursor = list.head; }

void* NextEnvItem(stEnvList& list)
{
    if (list.cursor == nullptr)
        return nullptr;
    void* item = list.cursor->item;
    list.cursor = list.cursor->next;
    return item;
}

void ReleaseEnvNodes(stEnvList& list)
{
    stEnvNode* node = list.head;
    while (node != nullptr) {
        stEnvNode* next = node->next;
        delete node;
        node = next;
    }
    list = stEnvList{nullptr, nullptr, 0};
}

} // namespace locmail::mq
