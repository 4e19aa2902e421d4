#include "AACAnalyzerCtrl.h"

#include <shellapi.h>

#include "AnalysisText.h"
#include "AnalyzerPropPage.h"
#include "TrackScope_h.h"
#include "resource.h"

namespace {

const DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                          OLEMISC_RECOMPOSEONRESIZE | OLEMISC_ACTIVATEWHENVISIBLE;
static_assert(kMiscStatus == 0x20191, "the registered MiscStatus");

const CAnalyzerCtrl::CInfo kInfo = {&CLSID_AACAnalyzer, &DIID__DAACAnalyzer, &DIID__DAACAnalyzerEvents,
                                    kMiscStatus,         &CLSID_AACAnalyzerPropPage, "AAC Analizer", false};

const char kTool[] = "aacinfo.exe";
const char kOutput[] = "aacinfo.txt";
// The tool's output is seven short fields; anything longer is not its.
const DWORD kOutputLimit = 64 * 1024;

bool FileExists(const char* name)
{
    const DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadOutput(std::string& text)
{
    HANDLE file = CreateFileA(kOutput, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const DWORD size = GetFileSize(file, nullptr);
    bool ok = size != INVALID_FILE_SIZE && size <= kOutputLimit;
    if (ok) {
        text.assign(size, '\0');
        DWORD got = 0;
        ok = size == 0 || (ReadFile(file, &text[0], size, &got, nullptr) && got == size);
    }
    CloseHandle(file);
    return ok;
}

// Waits for the tool at most the limit, showing the wait cursor meanwhile;
// a tool that does not end in time is stopped. True when it ended by itself.
bool WaitForTool(HANDLE process)
{
    const DWORD start = GetTickCount();
    bool ended = false;
    for (;;) {
        DWORD code = STILL_ACTIVE;
        if (!GetExitCodeProcess(process, &code) || code != STILL_ACTIVE) {
            ended = true;
            break;
        }
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        if (GetTickCount() - start >= CAACAnalyzerCtrl::TOOL_LIMIT_MS) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            break;
        }
        WaitForSingleObject(process, 50);
    }
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    return ended;
}

}  // namespace

CAACAnalyzerCtrl::CAACAnalyzerCtrl() : CAnalyzerCtrl(kInfo) {}

BOOL CAACAnalyzerCtrl::SetFilePath(const char* path)
{
    if (!FileExists(kTool))
        return TRUE;
    m_bitrate = 0;
    // An output left by an earlier run must never be taken for this file's.
    DeleteFileA(kOutput);
    if (GetFileAttributesA(kOutput) != INVALID_FILE_ATTRIBUTES)
        return TRUE;
    // Quoted, so that a path with spaces reaches the tool as one argument.
    const std::string parameters = std::string("\"") + path + "\"";
    SHELLEXECUTEINFOA run{};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS;
    run.lpVerb = "open";
    run.lpFile = kTool;
    run.lpParameters = parameters.c_str();
    run.lpDirectory = ".";
    run.nShow = SW_HIDE;
    if (!ShellExecuteExA(&run) || !run.hProcess)
        return TRUE;
    const bool ended = WaitForTool(run.hProcess);
    CloseHandle(run.hProcess);
    std::string output;
    if (!ended || !ReadOutput(output))
        return TRUE;
    m_bitrate = trackscope::AacInfoBitrate(output);
    return TRUE;
}

HRESULT CAACAnalyzerCtrl::InvokeGetter(DISPID id, VARIANT* result)
{
    switch (id) {
    case 3:
        return ReturnLong(m_bitrate < 0 ? 0 : m_bitrate, result);
    case DISPID_ABOUTBOX:
        return ShowAboutBox(IDD_ABOUTBOX_AAC);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}
