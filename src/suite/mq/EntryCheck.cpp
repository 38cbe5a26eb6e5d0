#include "suite/mq/EntryCheck.h"

#include "suite/mq/DeliveryKey.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace locmail::mq {
namespace {

// An envelope is a few lines per recipient; anything this big is not one.
constexpr off_t kMaxEnvelopeBytes = 16 * 1024 * 1024;

ParsedEnvelope Fault(std::string text)
{
    ParsedEnvelope result;
    result.fault = std::move(text);
    return result;
}

ParsedEnvelope Unreadable(int err)
{
    if (err == ENOENT)
        return Fault("envelope is missing");
    ParsedEnvelope result = Fault(std::string("envelope cannot be read now: ") + std::strerror(err));
    result.readError = err;
    return result;
}

} // namespace

ParsedEnvelope ReadEntryEnvelope(const QueuePaths& paths, uint32_t id)
{
    return ReadEnvelopeFile(paths.EntryFile(id, ".env"), id);
}

ParsedEnvelope ReadEnvelopeFile(const std::string& path, uint32_t id)
{
    struct stat st;
    UniqueFd fd = OpenRegularFile(path, &st);
    if (!fd && (errno == EISDIR || errno == EINVAL))
        return Fault("envelope is not a regular file");
    if (!fd)
        return Unreadable(errno);
    if (st.st_size > kMaxEnvelopeBytes)
        return Fault("envelope is too large (" + std::to_string(st.st_size) + " bytes)");
    std::string text;
    if (!ReadAllFrom(fd.get(), text))
        return Unreadable(errno);
    ParsedEnvelope parsed = ParseEnvelopeFile(text);
    if (!parsed.ok) {
        parsed.fault = "envelope: " + parsed.fault;
    } else if (parsed.data.key.empty()) {
        // Version 1: the file itself stands for the key and the arrival.
        parsed.data.key = DerivedDeliveryKey(id, st);
        parsed.data.arrived = st.st_mtim.tv_sec;
    }
    return parsed;
}

EntryCheck CheckEntry(const QueuePaths& paths, uint32_t id)
{
    EntryCheck check;
    struct stat st;
    bool haveText = ::stat(paths.EntryFile(id, ".msg").c_str(), &st) == 0;
    if (!haveText && errno != ENOENT) {
        check.readError = errno;
        check.fault = std::string("message text cannot be looked at now: ") + std::strerror(errno);
        return check;
    }
    if (!haveText) {
        check.fault = FileExists(paths.EntryFile(id, ".env")) ? "message text is missing"
                                                              : "message text and envelope are missing";
        return check;
    }
    if (!S_ISREG(st.st_mode)) {
        check.fault = "message text is not a regular file";
        return check;
    }
    ParsedEnvelope parsed = ReadEntryEnvelope(paths, id);
    if (!parsed.ok) {
        check.fault = std::move(parsed.fault);
        check.readError = parsed.readError;
        return check;
    }
    auto actual = static_cast<uint64_t>(st.st_size);
    if (actual != parsed.data.messageSize) {
        check.fault = "message text is " + std::to_string(actual) + " bytes, the envelope records " +
                      std::to_string(parsed.data.messageSize);
        return check;
    }
    check.ok = true;
    check.envelope = std::move(parsed.data);
    return check;
}

} // namespace locmail::mq
