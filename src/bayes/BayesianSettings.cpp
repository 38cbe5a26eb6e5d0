// CBayesianFilter: construction, the settings of section "BayesianFilter",
// the learning pid file's path and the plug-in library.
#include "bayes/CBayesianFilter.h"

#include "suite/platform/Files.h"
#include "suite/platform/Profile.h"

#include <strings.h>

namespace {

constexpr const char* kSection = "BayesianFilter";
constexpr const char* kConfigFile = "qxmta.ini";
constexpr unsigned long kValueSize = 1024;
constexpr unsigned long kQueueDirSize = 260;
constexpr const char* kLearnPidName = "bayesianlearn.pid";

std::string ReadText(const char* section, const char* key, const char* def, unsigned long size = kValueSize)
{
    std::string value(size, '\0');
    const unsigned long n = GetPrivateProfileStringA(section, key, def, value.data(), size, kConfigFile);
    value.resize(n);
    return value;
}

std::string ReadSetting(const char* key, const char* def = "") { return ReadText(kSection, key, def); }

int ReadNumber(const char* key, int def) { return static_cast<int>(GetPrivateProfileIntA(kSection, key, def, kConfigFile)); }

bool Is(const std::string& value, const char* word) { return strcasecmp(value.c_str(), word) == 0; }

} // namespace

CBayesianFilter::CBayesianFilter()
{
    Reset();
    BuildLearnPidPath();
    ReadSettings();
    LoadPlugin();
}

CBayesianFilter::~CBayesianFilter() = default;

void CBayesianFilter::Reset()
{
    m_type = kTypeNone;
    m_timeOut = kDefaultTimeOutMinutes;
    m_programTimeOut = kDefaultProgramTimeOutSeconds;
    m_enabled = false;
}

void CBayesianFilter::BuildLearnPidPath()
{
    const std::string queueDir = ReadText("Gateway", "QueueDirectory", "", kQueueDirSize);
    m_learnPidPath = queueDir.empty() ? std::string() : locmail::PathJoin(queueDir, kLearnPidName);
}

void CBayesianFilter::ReadSettings()
{
    const std::string type = ReadSetting("Type");
    if (Is(type, "EXE"))
        m_type = kTypeExe;
    else if (Is(type, "DLL"))
        m_type = kTypeDll;
    if (m_type == kTypeNone)
        return;
    if (m_type == kTypeExe) {
        m_commandLine = ReadSetting("CommandLine");
        m_returnCodeForHam = ReadSetting("ReturnCodeForHam");
        m_returnCodeForSpam = ReadSetting("ReturnCodeForSpam");
        m_returnCodeForUndetermined = ReadSetting("ReturnCodeForUndetermined");
        m_returnCodeForError = ReadSetting("ReturnCodeForError");
        m_programTimeOut = ReadNumber("ProgramTimeOut", kDefaultProgramTimeOutSeconds);
    } else {
        m_dllLocation = ReadSetting("DllLocation");
        m_functionName = ReadSetting("FunctionName");
    }
    m_timeOut = ReadNumber("TimeOut", kDefaultTimeOutMinutes);
    m_addHamMessageCommand = ReadSetting("AddHamMessageCommand");
    m_addSpamMessageCommand = ReadSetting("AddSpamMessageCommand");
    m_removeHamMessageCommand = ReadSetting("RemoveHamMessageCommand");
    m_removeSpamMessageCommand = ReadSetting("RemoveSpamMessageCommand");
    m_enabled = Is(ReadSetting("Enable", "NO"), "YES");
    m_moveTrainedSpam = Is(ReadSetting("ActionOnTrainedSpamMessage", "Delete"), "Move");
    m_moveTrainedHam = !Is(ReadSetting("ActionOnTrainedHamMessage", "Move"), "Delete");
}

bool CBayesianFilter::IsEnabled()
{
    if (!m_enabled)
        ReadSettings();
    return m_enabled;
}

void CBayesianFilter::LoadPlugin()
{
    m_library.Close();
    if (m_type == kTypeDll && !m_dllLocation.empty())
        m_library = locmail::DynamicLibrary(m_dllLocation);
    m_usable = m_type == kTypeExe || (m_type == kTypeDll && m_library.IsLoaded());
}
