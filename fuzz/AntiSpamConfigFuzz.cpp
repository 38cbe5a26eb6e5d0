// The settings reader over arbitrary bytes: each input becomes a user's
// antispam.cfg in a private home directory and is loaded as a delivery would.
// Beyond "no crash, no leak, no undefined behaviour" it checks what the spam
// steps rely on: action codes inside their tables, getters never null except
// a host override's own parameter.
#include "antispam/CAntiSpamConfig.h"
#include "FuzzCheck.h"
#include "suite/log/LogMessage.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

std::string g_home;
std::string g_file;

void RemoveHome()
{
    std::error_code ec;
    std::filesystem::remove_all(g_home, ec);
}

// A fresh file each time: rewriting a truncated file makes ext4 flush it on close.
void WriteSettings(std::string_view bytes)
{
    ::unlink(g_file.c_str());
    locmail::UniqueFd fd(::open(g_file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    FUZZ_CHECK(fd && locmail::WriteAll(fd.get(), bytes));
}

// The host named by the input's first "-action" line, if any.
std::string FirstHostName(std::string_view bytes)
{
    std::size_t mark = bytes.find("-action");
    if (mark == std::string_view::npos)
        return {};
    std::size_t start = bytes.rfind('\n', mark);
    return std::string(bytes.substr(start == std::string_view::npos ? 0 : start + 1,
                                    mark - (start == std::string_view::npos ? 0 : start + 1)));
}

void CheckHost(const CAntiSpamConfig& config, const char* host)
{
    int32_t action = config.GetHostAction(host);
    FUZZ_CHECK(action >= 0 && action <= 3);
    if (!config.HasHostAction(host)) {
        FUZZ_CHECK(action == config.XScannerAction);
        FUZZ_CHECK(config.GetHostFolder(host) != nullptr && config.GetHostBounceReason(host) != nullptr);
        return;
    }
    if (action != 2)
        FUZZ_CHECK(config.GetHostFolder(host) != nullptr);
    if (action != 3)
        FUZZ_CHECK(config.GetHostBounceReason(host) != nullptr);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    locmail::log::SetThreshold(0); // two progress lines per input would drown the output
    std::string pattern = (std::filesystem::temp_directory_path() / "locmail-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        std::abort();
    g_home = pattern;
    g_file = locmail::PathJoin(g_home, "antispam.cfg");
    std::atexit(RemoveHome);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    WriteSettings(bytes);
    CAntiSpamConfig config(g_home.c_str());

    FUZZ_CHECK(config.XScannerAction >= 0 && config.XScannerAction <= 3);
    FUZZ_CHECK(config.BayesianFilterAction >= 0 && config.BayesianFilterAction <= 5);
    for (const char* text : {config.GetXBounceReason(), config.GetBounceReason(), config.GetSpamSubject(),
                             config.GetSystemSpamFolder(), config.GetUserSpamFolder(),
                             config.GetUndeterminedFolder()})
        FUZZ_CHECK(text != nullptr);

    std::string host = FirstHostName(bytes);
    CheckHost(config, host.c_str());
    CheckHost(config, "no-such-host");
    (void)config.IsWhiteListed("ann@example.com");
    (void)config.IsIPWhiteListed("10.0.0.1");
    return 0;
}
