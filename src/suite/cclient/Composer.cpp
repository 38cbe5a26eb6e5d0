#include "suite/cclient/Composer.h"

#include "suite/cclient/Owners.h"
#include "suite/cclient/StringSink.h"

#include <array>
#include <cstring>
#include <memory>
#include <string_view>

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient {

namespace {

struct AddressFree {
    void operator()(ADDRESS* address) const noexcept
    {
        if (address)
            mail_free_address(&address);
    }
};
using AddressPtr = std::unique_ptr<ADDRESS, AddressFree>;

// Caller holds the library lock. Exactly one address with a mailbox and a host.
AddressPtr ParseOne(const std::string& text, const std::string& defaultHost)
{
    std::string copy(text);
    std::string host(defaultHost.empty() ? "localhost" : defaultHost);
    ADDRESS* list = nullptr;
    rfc822_parse_adrlist(&list, copy.data(), host.data());
    AddressPtr owned(list);
    if (!list || list->next || !list->mailbox || !*list->mailbox || !list->host ||
        std::strcmp(list->host, ERRHOST) == 0)
        throw ComposeError("not a valid mail address: '" + text + "'");
    return owned;
}

// A header text stays on its line: line breaks inside it would start forged fields.
std::string OneLine(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string ToCrlf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        }
        else if (c == '\n') {
            out += "\r\n";
        }
        else {
            out += c;
        }
    }
    return out;
}

bool Has8Bit(std::string_view bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

bool IsUtf8(const std::string& text)
{
    auto* s = reinterpret_cast<unsigned char*>(const_cast<char*>(text.data()));
    unsigned long left = text.size();
    while (left > 0)
        if (utf8_get(&s, &left) & U8G_ERROR)
            return false;
    return true;
}

// Content through fs_get: c-client frees (and, encoding, replaces) it itself.
void SetContents(BODY& body, std::string_view bytes)
{
    auto* data = static_cast<unsigned char*>(fs_get(bytes.size() + 1));
    std::memcpy(data, bytes.data(), bytes.size());
    data[bytes.size()] = '\0';
    body.contents.text.data = data;
    body.contents.text.size = bytes.size();
}

void AddParameter(PARAMETER** list, const char* attribute, const std::string& value)
{
    while (*list)
        list = &(*list)->next;
    *list = mail_newbody_parameter();
    (*list)->attribute = cpystr(attribute);
    (*list)->value = cpystr(value.c_str());
}

void FillText(BODY& body, const std::string& text)
{
    body.type = TYPETEXT;
    body.subtype = cpystr("PLAIN");
    std::string crlf = ToCrlf(text);
    if (Has8Bit(crlf)) {
        body.encoding = ENC8BIT;
        // Without a parameter c-client writes US-ASCII or, for 8-bit text, X-UNKNOWN.
        if (IsUtf8(crlf))
            AddParameter(&body.parameter, "CHARSET", "UTF-8");
    }
    SetContents(body, crlf);
}

std::string SafeFileName(const std::string& name)
{
    std::string out = name.empty() ? "attachment" : name;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '"' || c == '\\')
            c = '_';
    return out;
}

void FillFile(BODY& body, std::string_view content, const std::string& fileName)
{
    body.type = TYPEAPPLICATION;
    body.subtype = cpystr("OCTET-STREAM");
    body.encoding = ENCBINARY; // c-client turns it into base64
    SetContents(body, content);
    body.disposition.type = cpystr("attachment");
    AddParameter(&body.disposition.parameter, "filename", SafeFileName(fileName));
}

void FillMessage(BODY& body, std::string_view subtype, std::string_view content)
{
    body.type = TYPEMESSAGE;
    body.subtype = cpystr(std::string(subtype).c_str());
    // c-client's release of a message/rfc822 body reaches into nested.msg.
    if (subtype == "RFC822")
        body.nested.msg = mail_newmsg();
    body.encoding = Has8Bit(content) ? ENC8BIT : ENC7BIT;
    SetContents(body, content);
}

void FillPart(BODY& body, const DraftPart& part)
{
    switch (part.kind) {
    case PartKind::Message:
        // c-client writes part texts as C strings: a NUL would cut the message.
        if (std::memchr(part.content.data(), '\0', part.content.size()))
            FillFile(body, part.content, "message.eml");
        else
            FillMessage(body, "RFC822", part.content);
        return;
    case PartKind::DeliveryStatus: FillMessage(body, "DELIVERY-STATUS", ToCrlf(part.content)); return;
    case PartKind::Headers:
        body.type = TYPETEXT;
        body.subtype = cpystr("RFC822-HEADERS");
        body.encoding = Has8Bit(part.content) ? ENC8BIT : ENC7BIT;
        SetContents(body, ToCrlf(part.content));
        return;
    case PartKind::File: FillFile(body, part.content, part.fileName); return;
    }
}

BodyPtr BuildBody(const Draft& draft)
{
    BodyPtr body(mail_newbody());
    if (draft.parts.empty()) {
        FillText(*body, draft.text);
        return body;
    }
    body->type = TYPEMULTIPART;
    if (draft.reportType.empty()) {
        body->subtype = cpystr("MIXED");
    }
    else {
        body->subtype = cpystr("REPORT");
        AddParameter(&body->parameter, "report-type", OneLine(draft.reportType));
    }
    if (!draft.boundary.empty())
        AddParameter(&body->parameter, "BOUNDARY", OneLine(draft.boundary)); // c-client looks for this spelling
    PART** next = &body->nested.part;
    *next = mail_newbody_part();
    FillText((*next)->body, draft.text);
    for (const DraftPart& part : draft.parts) {
        next = &(*next)->next;
        *next = mail_newbody_part();
        FillPart((*next)->body, part);
    }
    return body;
}

EnvelopePtr BuildEnvelope(const Draft& draft)
{
    if (draft.to.empty())
        throw ComposeError("the message has no recipient");
    EnvelopePtr env(mail_newenvelope());
    env->from = ParseOne(draft.from, draft.defaultHost).release();
    ADDRESS** tail = &env->to;
    for (const std::string& rcpt : draft.to) {
        *tail = ParseOne(rcpt, draft.defaultHost).release();
        tail = &(*tail)->next;
    }
    if (draft.date.empty()) {
        char now[MAILTMPLEN];
        rfc822_date(now);
        env->date = reinterpret_cast<unsigned char*>(cpystr(now));
    }
    else {
        env->date = reinterpret_cast<unsigned char*>(cpystr(OneLine(draft.date).c_str()));
    }
    if (!draft.subject.empty())
        env->subject = cpystr(OneLine(draft.subject).c_str());
    if (!draft.messageId.empty())
        env->message_id = cpystr(OneLine(draft.messageId).c_str());
    if (!draft.inReplyTo.empty())
        env->in_reply_to = cpystr(OneLine(draft.inReplyTo).c_str());
    if (!draft.references.empty())
        env->references = cpystr(OneLine(draft.references).c_str());
    return env;
}

bool AnyEightBitMessage(const Draft& draft)
{
    for (const DraftPart& part : draft.parts)
        if (part.kind != PartKind::File && Has8Bit(part.content))
            return true;
    return false;
}

} // namespace

std::string ComposeMessage(const Draft& draft)
{
    auto lock = detail::LockLibrary();
    EnvelopePtr env = BuildEnvelope(draft);
    BodyPtr body = BuildBody(draft);
    // An 8-bit message part cannot be re-encoded, so the whole message is 8-bit then.
    long ok8 = AnyEightBitMessage(draft) ? LONGT : NIL;

    std::string out;
    std::array<char, 16384> chunk;
    RFC822BUFFER buffer;
    detail::SinkIntoString(buffer, chunk, out);
    if (!rfc822_output_full(&buffer, env.get(), body.get(), ok8))
        throw ComposeError("c-client could not write the message");
    // c-client writes only the fields it knows; the others go at the header's end.
    std::string extra;
    for (const std::string& field : draft.extraFields)
        extra += OneLine(field) + "\r\n";
    const std::size_t headerEnd = out.find("\r\n\r\n");
    if (!extra.empty() && headerEnd != std::string::npos)
        out.insert(headerEnd + 2, extra);
    return out;
}

std::string MailboxOf(const std::string& address, const std::string& defaultHost)
{
    auto lock = detail::LockLibrary();
    AddressPtr parsed = ParseOne(address, defaultHost);
    return std::string(parsed->mailbox) + "@" + parsed->host;
}

} // namespace locmail::cclient
