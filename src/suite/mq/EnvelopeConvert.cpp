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

// Sender and recipient records share their four text fields; the helpers below
// work on either.
template <typename Record>
bool CheckRecordTexts(const char* what, int index, const Record& rec, std::string& fault)
{
    return CheckTexts(what, index,
                      {{"address", rec.address}, {"info", rec.info}, {"extra", rec.extra}, {"channel", rec.channel}},
                      fault);
}

template <typename Record, typename Data, typename Convert>
bool ReadList(const stEnvList& list, const char* what, std::vector<Data>& out, std::string& fault, Convert convert)
{
    int index = 0;
    for (const stEnvNode* node = list.head; node != nullptr; node = node->next) {
        if (++index > kMaxRecords) {
            fault = std::string(what) + " list is too long";
            return false;
        }
        const auto* rec = static_cast<const Record*>(node->item);
        if (rec == nullptr) {
            out.emplace_back();
            continue;
        }
        if (!CheckRecordTexts(what, index, *rec, fault))
            return false;
        out.push_back(convert(*rec));
    }
    return true;
}

bool ReadSenders(const stEnvList& list, std::vector<SenderRecord>& out, std::string& fault)
{
    return ReadList<_envFrom>(list, "sender", out, fault, [](const _envFrom& rec) {
        return SenderRecord{Text(rec.address), Text(rec.info), rec.flags, rec.reserved, Text(rec.extra),
                            Text(rec.channel)};
    });
}

bool ReadRecipients(const stEnvList& list, std::vector<RecipientRecord>& out, std::string& fault)
{
    return ReadList<_envRcpt>(list, "recipient", out, fault, [](const _envRcpt& rec) {
        return RecipientRecord{Text(rec.address), Text(rec.info), rec.flags, Text(rec.extra), Text(rec.channel)};
    });
}

char* CopyText(const std::string& text)
{
    char* copy = new (std::nothrow) char[text.size() + 1];
    if (copy != nullptr)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

template <typename Record>
void DeleteRecord(Record* rec)
{
    if (rec == nullptr)
        return;
    delete[] rec->address;
    delete[] rec->info;
    delete[] rec->extra;
    delete[] rec->channel;
    delete rec;
}

// Fills the four texts of REC from DATA; on failure REC is deleted and null returned.
template <typename Record, typename Data>
Record* WithTexts(Record* rec, const Data& data)
{
    if (rec == nullptr)
        return nullptr;
    rec->address = CopyText(data.address);
    rec->info = CopyText(data.info);
    rec->extra = CopyText(data.extra);
    rec->channel = CopyText(data.channel);
    if (!rec->address || !rec->info || !rec->extra || !rec->channel) {
        DeleteRecord(rec);
        return nullptr;
    }
    return rec;
}

_envFrom* NewSender(const SenderRecord& s)
{
    return WithTexts(new (std::nothrow) _envFrom{nullptr, nullptr, s.flags, s.reserved, nullptr, nullptr}, s);
}

_envRcpt* NewRecipient(const RecipientRecord& r)
{
    return WithTexts(new (std::nothrow) _envRcpt{nullptr, nullptr, r.flags, nullptr, nullptr}, r);
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
            DeleteRecord(rec);
            DeleteOwnedEnvelope(envelope);
            return nullptr;
        }
    }
    for (const auto& r : data.recipients) {
        _envRcpt* rec = NewRecipient(r);
        if (rec == nullptr || !AppendEnvItem(envelope->rcpt, rec)) {
            DeleteRecord(rec);
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
        DeleteRecord(static_cast<_envFrom*>(node->item));
    for (stEnvNode* node = envelope->rcpt.head; node != nullptr; node = node->next)
        DeleteRecord(static_cast<_envRcpt*>(node->item));
    ReleaseEnvNodes(envelope->from);
    ReleaseEnvNodes(envelope->rcpt);
    delete envelope;
}

} // namespace locmail::mq
