#include "suite/mq/EnvelopeConvert.h"

#include <cstring>
#include <new>

namespace locmail::mq {
namespace {

// A longer chain is taken for a cycle or a stray pointer, not an envelope.
constexpr int kMaxRecords = 100000;

bool HasLineBreak(const char* text) { return text && std::strpbrk(text, "\r\n") != nullptr; }

std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

bool CheckTexts(const char* what, int index, std::initializer_list<std::pair<const char*, const char*>> texts,
                std::string& fault)
{
    for (const auto& [name, text] : texts) {
        if (HasLineBreak(text)) {
            fault = std::string(what) + " " + std::to_string(index) + " " + name + " contains a line break";
            return false;
        }
    }
    return true;
}

bool ReadSenders(const stEnvList& list, std::vector<SenderRecord>& out, std::string& fault)
{
    int index = 0;
    for (const stEnvNode* node = list.head; node != nullptr; node = node->next) {
        if (++index > kMaxRecords) {
            fault = "sender list is too long";
            return false;
        }
        const auto* rec = static_cast<const _envFrom*>(node->item);
        if (rec == nullptr) {
            out.emplace_back();
            continue;
        }
        if (!CheckTexts("sender", index, {{"address", rec->address}, {"info", rec->info},
                                          {"extra", rec->extra}, {"channel", rec->channel}}, fault))
            return false;
        out.push_back({Text(rec->address), Text(rec->info), rec->flags, rec->reserved, Text(rec->extra),
                       Text(rec->channel)});
    }
    return true;
}

bool ReadRecipients(const stEnvList& list, std::vector<RecipientRecord>& out, std::string& fault)
{
    int index = 0;
    for (const stEnvNode* node = list.head; node != nullptr; node = node->next) {
        if (++index > kMaxRecords) {
            fault = "recipient list is too long";
            return false;
        }
        const auto* rec = static_cast<const _envRcpt*>(node->item);
        if (rec == nullptr) {
            out.emplace_back();
            continue;
        }
        if (!CheckTexts("recipient", index, {{"address", rec->address}, {"info", rec->info},
                                             {"extra", rec->extra}, {"channel", rec->channel}}, fault))
            return false;
        out.push_back({Text(rec->address), Text(rec->info), rec->flags, Text(rec->extra), Text(rec->channel)});
    }
    return true;
}

char* CopyText(const std::string& text)
{
    char* copy = new (std::nothrow) char[text.size() + 1];
    if (copy != nullptr)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

void DeleteSender(_envFrom* rec)
{
    if (rec == nullptr)
        return;
    delete[] rec->address;
    delete[] rec->info;
    delete[] rec->extra;
    delete[] rec->channel;
    delete rec;
}

void DeleteRecipient(_envRcpt* rec)
{
    if (rec == nullptr)
        return;
    delete[] rec->address;
    delete[] rec->info;
    delete[] rec->extra;
    delete[] rec->channel;
    delete rec;
}

_envFrom* NewSender(const SenderRecord& s)
{
    auto* rec = new (std::nothrow) _envFrom{nullptr, nullptr, s.flags, s.reserved, nullptr, nullptr};
    if (rec == nullptr)
        return nullptr;
    rec->address = CopyText(s.address);
    rec->info = CopyText(s.info);
    rec->extra = CopyText(s.extra);
    rec->channel = CopyText(s.channel);
    if (!rec->address || !rec->info || !rec->extra || !rec->channel) {
        DeleteSender(rec);
        return nullptr;
    }
    return rec;
}

_envRcpt* NewRecipient(const RecipientRecord& r)
{
    auto* rec = new (std::nothrow) _envRcpt{nullptr, nullptr, r.flags, nullptr, nullptr};
    if (rec == nullptr)
        return nullptr;
    rec->address = CopyText(r.address);
    rec->info = CopyText(r.info);
    rec->extra = CopyText(r.extra);
    rec->channel = CopyText(r.channel);
    if (!rec->address || !rec->info || !rec->extra || !rec->channel) {
        DeleteRecipient(rec);
        return nullptr;
    }
    return rec;
}

} // namespace

bool ReadCallerEnvelope(const stEnvelope& envelope, EnvelopeData& out, std::string& fault)
{
    out.senders.clear();
    out.recipients.clear();
    return ReadSenders(envelope.from, out.senders, fault) && ReadRecipients(envelope.rcpt, out.recipients, fault);
}

stEnvelope* NewOwnedEnvelope(const EnvelopeData& data)
{
    auto* envelope = new (std::nothrow) stEnvelope{{nullptr, nullptr, 0}, {nullptr, nullptr, 0}};
    if (envelope == nullptr)
        return nullptr;
    for (const auto& s : data.senders) {
        _envFrom* rec = NewSender(s);
        if (rec == nullptr || !AppendEnvItem(envelope->from, rec)) {
            DeleteSender(rec);
            DeleteOwnedEnvelope(envelope);
            return nullptr;
        }
    }
    for (const auto& r : data.recipients) {
        _envRcpt* rec = NewRecipient(r);
        if (rec == nullptr || !AppendEnvItem(envelope->rcpt, rec)) {
            DeleteRecipient(rec);
            DeleteOwnedEnvelope(envelope);
            return nullptr;
        }
    }
    ResetEnvCursor(envelope->from);
    ResetEnvCursor(envelope->rcpt);
    return envelope;
}

void DeleteOwnedEnvelope(stEnvelope* envelope)
{
    if (envelope == nullptr)
        return;
    for (stEnvNode* node = envelope->from.head; node != nullptr; node = node->next)
        DeleteSender(static_cast<_envFrom*>(node->item));
    for (stEnvNode* node = envelope->rcpt.head; node != nullptr; node = node->next)
        DeleteRecipient(static_cast<_envRcpt*>(node->item));
    ReleaseEnvNodes(envelope->from);
    ReleaseEnvNodes(envelope->rcpt);
    delete envelope;
}

} // namespace locmail::mq
