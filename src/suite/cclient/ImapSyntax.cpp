#include "suite/cclient/ImapSyntax.h"

#include <string_view>

#include <strings.h>

#include "suite/cclient/BodyNames.h"

namespace locmail::cclient {

namespace {

// An empty text/plain part stands in for a body that is missing, so that the
// output always follows the grammar.
constexpr std::string_view kEmptyTextBody = R"(("TEXT" "PLAIN" ("CHARSET" "US-ASCII") NIL NIL "7BIT" 0 0 NIL NIL NIL NIL))";
constexpr std::string_view kEmptyEnvelope = "(NIL NIL NIL NIL NIL NIL NIL NIL NIL NIL)";

bool NeedsLiteral(std::string_view text)
{
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte == '\r' || byte == '\n' || byte >= 0x80)
            return true;
    }
    return false;
}

class ImapWriter {
public:
    std::string Take() { return std::move(out_); }

    void Raw(std::string_view text) { out_ += text; }
    void Space() { out_ += ' '; }
    void Nil() { out_ += "NIL"; }
    void Number(unsigned long value) { out_ += std::to_string(value); }

    void String(std::string_view text)
    {
        if (NeedsLiteral(text)) {
            out_ += '{';
            out_ += std::to_string(text.size());
            out_ += "}\r\n";
            out_ += text;
            return;
        }
        out_ += '"';
        for (char c : text) {
            if (c == '"' || c == '\\')
                out_ += '\\';
            out_ += c;
        }
        out_ += '"';
    }

    void NString(const char* text)
    {
        if (text)
            String(text);
        else
            Nil();
    }
    void NString(const unsigned char* text) { NString(reinterpret_cast<const char*>(text)); }

    // A group start (mailbox without host) and a group end (neither) are
    // addresses of their own in both c-client's list and IMAP's.
    void AddressList(const ADDRESS* list)
    {
        if (list == nullptr) {
            Nil();
            return;
        }
        out_ += '(';
        for (const ADDRESS* address = list; address; address = address->next) {
            out_ += '(';
            NString(address->personal);
            Space();
            NString(address->adl);
            Space();
            NString(address->mailbox);
            Space();
            NString(address->host);
            out_ += ')';
        }
        out_ += ')';
    }

    void Envelope(const ENVELOPE* envelope)
    {
        if (envelope == nullptr) {
            Raw(kEmptyEnvelope);
            return;
        }
        out_ += '(';
        NString(envelope->date);
        Space();
        NString(envelope->subject);
        Space();
        AddressList(envelope->from);
        Space();
        AddressList(envelope->sender ? envelope->sender : envelope->from);
        Space();
        AddressList(envelope->reply_to ? envelope->reply_to : envelope->from);
        Space();
        AddressList(envelope->to);
        Space();
        AddressList(envelope->cc);
        Space();
        AddressList(envelope->bcc);
        Space();
        NString(envelope->in_reply_to);
        Space();
        NString(envelope->message_id);
        out_ += ')';
    }

    void Parameters(const PARAMETER* list)
    {
        if (list == nullptr) {
            Nil();
            return;
        }
        out_ += '(';
        for (const PARAMETER* parameter = list; parameter; parameter = parameter->next) {
            if (parameter != list)
                Space();
            String(parameter->attribute ? parameter->attribute : "");
            Space();
            String(parameter->value ? parameter->value : "");
        }
        out_ += ')';
    }

    void Disposition(const BODY& body)
    {
        if (body.disposition.type == nullptr) {
            Nil();
            return;
        }
        out_ += '(';
        String(body.disposition.type);
        Space();
        Parameters(body.disposition.parameter);
        out_ += ')';
    }

    void Languages(const STRINGLIST* list)
    {
        if (list == nullptr) {
            Nil();
            return;
        }
        out_ += '(';
        for (const STRINGLIST* language = list; language; language = language->next) {
            if (language != list)
                Space();
            String(std::string_view(reinterpret_cast<const char*>(language->text.data), language->text.size));
        }
        out_ += ')';
    }

    // Disposition, language and location: the tail both kinds of part share.
    void CommonExtensions(const BODY& body)
    {
        Space();
        Disposition(body);
        Space();
        Languages(body.language);
        Space();
        NString(body.location);
    }

    void Body(const BODY* body)
    {
        if (body == nullptr)
            Raw(kEmptyTextBody);
        else if (body->type == TYPEMULTIPART)
            Multipart(*body);
        else
            SinglePart(*body);
    }

    void Multipart(const BODY& body)
    {
        out_ += '(';
        if (body.nested.part == nullptr)
            Raw(kEmptyTextBody); // the grammar wants at least one part
        for (const PART* part = body.nested.part; part; part = part->next)
            Body(&part->body);
        Space();
        String(detail::SubtypeName(body));
        Space();
        Parameters(body.parameter);
        CommonExtensions(body);
        out_ += ')';
    }

    void SinglePart(const BODY& body)
    {
        out_ += '(';
        String(detail::TypeName(body));
        Space();
        String(detail::SubtypeName(body));
        Space();
        Parameters(body.parameter);
        Space();
        NString(body.id);
        Space();
        NString(body.description);
        Space();
        String(detail::EncodingName(body));
        Space();
        Number(body.size.bytes);
        if (IsEncapsulatedMessage(body)) {
            const MESSAGE* message = body.nested.msg;
            Space();
            Envelope(message ? message->env : nullptr);
            Space();
            Body(message ? message->body : nullptr);
            Space();
            Number(body.size.lines);
        } else if (body.type == TYPETEXT) {
            Space();
            Number(body.size.lines);
        }
        Space();
        NString(body.md5);
        CommonExtensions(body);
        out_ += ')';
    }

private:
    static bool IsEncapsulatedMessage(const BODY& body)
    {
        return body.type == TYPEMESSAGE && body.subtype && strcasecmp(body.subtype, "RFC822") == 0;
    }

    std::string out_;
};

} // namespace

std::string ImapEnvelope(const mail_envelope* envelope)
{
    ImapWriter writer;
    writer.Envelope(envelope);
    return writer.Take();
}

std::string ImapBodyStructure(const mail_bodystruct* body)
{
    ImapWriter writer;
    writer.Body(body);
    return writer.Take();
}

std::string ImapString(std::string_view text)
{
    ImapWriter writer;
    writer.String(text);
    return writer.Take();
}

} // namespace locmail::cclient
