#include "suite/cclient/Owners.h"

#include <cstring>
#include <vector>

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient {
namespace {

// c-client frees lists by recursing along `next`: a header with 300,000
// addresses or parameters would take as many stack frames. Each list is cut
// into single items here, which c-client then frees one frame deep.

template <typename Item>
void FreeEach(Item*& list, void (*freeOne)(Item**)) noexcept
{
    while (list) {
        Item* item = list;
        list = item->next;
        item->next = NIL;
        freeOne(&item);
    }
}

void FreeAddressList(ADDRESS*& list) noexcept { FreeEach(list, mail_free_address); }
void FreeParameterList(PARAMETER*& list) noexcept { FreeEach(list, mail_free_body_parameter); }
void FreeStringList(STRINGLIST*& list) noexcept { FreeEach(list, mail_free_stringlist); }

void FreeEnvelopeLists(ENVELOPE* envelope) noexcept
{
    for (ADDRESS** list : {&envelope->return_path, &envelope->from, &envelope->sender, &envelope->reply_to,
                           &envelope->to, &envelope->cc, &envelope->bcc})
        FreeAddressList(*list);
}

// Empties the lists of every body in the tree below ROOT, without recursion:
// what is left for c-client is at most as deep as the nesting, which its
// parser bounds (MAXMIMEDEPTH), and every part list is cut into single parts.
void FreeBodyLists(BODY* root) noexcept
{
    std::vector<BODY*> pending;
    try {
        pending.push_back(root);
    } catch (...) {
        return; // no memory for the walk: c-client frees it all, as before
    }
    while (!pending.empty()) {
        BODY* body = pending.back();
        pending.pop_back();
        FreeParameterList(body->parameter);
        FreeParameterList(body->disposition.parameter);
        FreeStringList(body->language);
        if (body->type == TYPEMULTIPART) {
            PART* part = body->nested.part;
            body->nested.part = NIL;
            while (part) {
                PART* item = part;
                part = item->next;
                item->next = NIL;
                FreeBodyLists(&item->body);   // at most MAXMIMEDEPTH deep
                mail_free_body_part(&item);
            }
        } else if (body->type == TYPEMESSAGE && body->subtype && std::strcmp(body->subtype, "RFC822") == 0 &&
                   body->nested.msg) {
            MESSAGE* message = body->nested.msg;
            if (message->env)
                FreeEnvelopeLists(message->env);
            if (message->body)
                pending.push_back(message->body);
        }
    }
}

} // namespace

void EnvelopeFree::operator()(mail_envelope* envelope) const noexcept
{
    // c-client frees through a pointer to the pointer; a copy serves.
    if (envelope) {
        FreeEnvelopeLists(envelope);
        mail_free_envelope(&envelope);
    }
}

void BodyFree::operator()(mail_bodystruct* body) const noexcept
{
    if (body) {
        FreeBodyLists(body);
        mail_free_body(&body);
    }
}

void FreeEnvelope(mail_envelope*& envelope) noexcept
{
    EnvelopeFree()(envelope);
    envelope = nullptr;
}

void FreeBody(mail_bodystruct*& body) noexcept
{
    BodyFree()(body);
    body = nullptr;
}

} // namespace locmail::cclient
