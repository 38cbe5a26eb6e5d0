// CBayesianFilter: construction, the settings of section "BayesianFilter",
// the learning pid file's path and the plug-in library.
#include "bayes/CBayesianFilter.h"

#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Files.h"
#include "suite/platform/Profile.h"
#include "suite/platform/ProfileCache.h"

#include <strings.h>

namespace {

namespace config = locmail::config;

constexpr unsigned long kValueSize = 1024;
constexpr unsigned long kQueueDirSize = 260;
constexpr const char* kLearnPidName = "bayesianlearn.pid";

// A key read into the fixed buffer of its field: longer values are cut.
std::string ReadSetting(const config::TextKey& key, unsigned long size = kValueSize)
{
    std::string value(size, '\0');
    const unsigned long n =
        GetPrivateProfileStringA(key.section, key.name, key.fallback, value.data(), size, config::kConfigFile);
    value.resize(n);
    return value;
}

int ReadInt(const config::NumberKey& key) { return static_cast<int>(config::ReadNumber(key)); }

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
    const std::string queueDir = ReadSetting(config::kQueueDirectory, kQueueDirSize);
    m_learnPidPath = queueDir.empty() ? std::string() : locmail::PathJoin(queueDir, kLearnPidName);
}

void CBayesianFilter::ReadSettings()
{
    locmail::ProfileReadScope oneVersion; // the keys are read from one version of the file
    const std::string type = ReadSetting(config::kBayesType);
    if (Is(type, "EXE"))
        m_type = kTypeExe;
    else if (Is(type, "DLL"))
        m_type = kTypeDll;
    if (m_type == kTypeNone)
        return;
    if (m_type == kTypeExe) {
        m_commandLine = ReadSetting(config::kBayesCommandLine);
        m_returnCodeForHam = ReadSetting(config::kBayesReturnCodeForHam);
        m_returnCodeForSpam = ReadSetting(config::kBayesReturnCodeForSpam);
        m_returnCodeForUndetermined = ReadSetting(config::kBayesReturnCodeForUndetermined);
        m_returnCodeForError = ReadSetting(config::kBayesReturnCodeForError);
        m_programTimeOut = ReadInt(config::kBayesProgramTimeOut);
    } else {
        m_dllLocation = ReadSetting(config::kBayesDllLocation);
        m_functionName = ReadSetting(config::kBayesFunctionName);
    }
    m_timeOut = ReadInt(config::kBayesTimeOut);
    m_addHamMessageCommand = ReadSetting(config::kBayesAddHamCommand);
    m_addSpamMessageCommand = ReadSetting(config::kBayesAddSpamCommand);
    m_removeHamMessageCommand = ReadSetting(config::kBayesRemoveHamCommand);
    m_removeSpamMessageCommand = ReadSetting(config::kBayesRemoveSpamCommand);
    m_enabled = Is(ReadSetting(config::kBayesEnable), "YES");
    m_moveTrainedSpam = Is(ReadSetting(config::kBayesTrainedSpamAction), "Move");
    m_moveTrainedHam = !Is(ReadSetting(config::kBayesTrainedHamAction), "Delete");
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
