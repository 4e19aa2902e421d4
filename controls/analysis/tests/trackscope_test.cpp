// TrackScope.ocx under Wine: creation by ProgID and CLSID, every dispatch
// member by name, the MP3, WMA and AAC corpora through the controls, the
// reader's wait and events, the AAC tool's output, about boxes and pages.
// The program runs in a prefix of its own (MB_PREFIX) with our wmvcore.dll
// (WINEDLLOVERRIDES=wmvcore=n) and registers the module there.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ComPtr.h"
#include "GuiTest.h"
#include "Mp3Expected.h"
#include "TrackScope_h.h"
#include "HostPaths.h"

using mbcom::CPtr;

namespace {

const CLSID kMp3Page = {0x6A6E6EBE, 0x5152, 0x4053, {0xBF, 0x01, 0xCC, 0x5E, 0x31, 0x36, 0x97, 0x6E}};
const CLSID kWmaPage = {0x2E8CAAC2, 0x4DDD, 0x4278, {0xA2, 0xC6, 0x2A, 0x90, 0x62, 0x52, 0x1F, 0x26}};
const CLSID kAacPage = {0x5BDC22D4, 0x97B8, 0x43AB, {0x9E, 0x48, 0x78, 0x67, 0x57, 0xD4, 0xD2, 0x50}};

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring p(path);
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

HMODULE Module()
{
    static HMODULE module = LoadLibraryW((ExeFolder() + L"TrackScope.ocx").c_str());
    return module;
}

std::wstring Wide(const std::string& utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &w[0], n);
    return w;
}

// What a text looks like after the trip through the ANSI code page that the
// controls' texts take.
std::wstring ThroughAnsi(const std::wstring& text)
{
    if (text.empty())
        return text;
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string a(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &a[0], n, nullptr, nullptr);
    int m = MultiByteToWideChar(CP_ACP, 0, a.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(m), L'\0');
    MultiByteToWideChar(CP_ACP, 0, a.c_str(), -1, &w[0], m);
    w.resize(wcslen(w.c_str()));
    return w;
}

std::wstring AnsiToWide(const std::string& ansi)
{
    int m = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(m), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &w[0], m);
    w.resize(wcslen(w.c_str()));
    return w;
}

std::vector<std::vector<std::string>> ReadTsv(const std::string& path)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cells;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t'))
            cells.push_back(cell);
        cells.resize(10);
        rows.push_back(cells);
    }
    return rows;
}

class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        ASSERT_NE(nullptr, Module());
        auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(Module(), "DllRegisterServer")));
        ASSERT_NE(nullptr, reg);
        ASSERT_EQ(S_OK, reg());
    }
    void TearDown() override { OleUninitialize(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

// A control driven as a script would: every member by name.
class CScripted {
public:
    explicit CScripted(const wchar_t* progId)
    {
        CLSID clsid{};
        EXPECT_EQ(S_OK, CLSIDFromProgID(progId, &clsid)) << progId;
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                         reinterpret_cast<void**>(&m_disp)));
    }
    IDispatch* Get() const { return m_disp; }

    DISPID Id(const wchar_t* name) const
    {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
        HRESULT hr = m_disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        return SUCCEEDED(hr) ? id : DISPID_UNKNOWN;
    }

    HRESULT Call(const wchar_t* name, std::vector<VARIANT> args, VARIANT* result) const
    {
        DISPID id = Id(name);
        if (id == DISPID_UNKNOWN)
            return DISP_E_UNKNOWNNAME;
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()),
                          0};
        UINT argErr = 0;
        return m_disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, &argErr);
    }

    bool SetFilePath(const std::string& ansiPath) const
    {
        VARIANT arg;
        arg.vt = VT_BSTR;
        arg.bstrVal = SysAllocString(AnsiToWide(ansiPath).c_str());
        VARIANT result;
        VariantInit(&result);
        HRESULT hr = Call(L"SetFilePath", {arg}, &result);
        SysFreeString(arg.bstrVal);
        EXPECT_EQ(S_OK, hr);
        EXPECT_EQ(VT_BOOL, result.vt);
        return result.vt == VT_BOOL && result.boolVal == VARIANT_TRUE;
    }

    std::wstring Text(const wchar_t* name) const
    {
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(S_OK, Call(name, {}, &result)) << name;
        EXPECT_EQ(VT_BSTR, result.vt) << name;
        std::wstring text = result.vt == VT_BSTR && result.bstrVal ? result.bstrVal : L"";
        VariantClear(&result);
        return text;
    }

    LONG Long(const wchar_t* name) const
    {
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(S_OK, Call(name, {}, &result)) << name;
        EXPECT_EQ(VT_I4, result.vt) << name;
        return result.lVal;
    }

    void Size(LONG& low, LONG& high) const
    {
        low = high = -7;
        VARIANT a, b;
        a.vt = VT_I4 | VT_BYREF;
        a.plVal = &low;
        b.vt = VT_I4 | VT_BYREF;
        b.plVal = &high;
        EXPECT_EQ(S_OK, Call(L"GetSize", {a, b}, nullptr));
    }

private:
    CPtr<IDispatch> m_disp;
};

LONG FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
    return static_cast<LONG>(data.nFileSizeLow);
}

// --- module and creation ---

TEST(TrackScopeModule, EveryClassIsCreatedByProgIdAndClsid)
{
    struct Case {
        const wchar_t* progId;
        const CLSID* clsid;
        const IID* dispatch;
        const CLSID* page;
    } cases[] = {
        {L"TRACKSCOPE.MP3AnalyzerCtrl.1", &CLSID_MP3Analyzer, &DIID__DMP3Analyzer, &kMp3Page},
        {L"TRACKSCOPE.WMAAnalyzerCtrl.1", &CLSID_WMAAnalyzer, &DIID__DWMAAnalyzer, &kWmaPage},
        {L"TRACKSCOPE.AACAnalyzerCtrl.1", &CLSID_AACAnalyzer, &DIID__DAACAnalyzer, &kAacPage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.progId, c.progId + wcslen(c.progId)));
        CLSID fromProgId{};
        ASSERT_EQ(S_OK, CLSIDFromProgID(c.progId, &fromProgId));
        EXPECT_TRUE(IsEqualCLSID(*c.clsid, fromProgId));
        CPtr<IUnknown> object;
        ASSERT_EQ(S_OK, CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                         reinterpret_cast<void**>(&object)));
        CPtr<IDispatch> disp;
        EXPECT_EQ(S_OK, object->QueryInterface(*c.dispatch, reinterpret_cast<void**>(&disp)));
        CPtr<IOleObject> ole;
        ASSERT_EQ(S_OK, object->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)));
        CPtr<ISpecifyPropertyPages> pages;
        ASSERT_EQ(S_OK, object->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages)));
        CAUUID list{};
        ASSERT_EQ(S_OK, pages->GetPages(&list));
        ASSERT_EQ(1u, list.cElems);
        EXPECT_TRUE(IsEqualCLSID(*c.page, list.pElems[0]));
        CoTaskMemFree(list.pElems);
        // The page, by the CLSID the control names.
        CPtr<IPropertyPage> page;
        ASSERT_EQ(S_OK, CoCreateInstance(*c.page, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                         reinterpret_cast<void**>(&page)));
        PROPPAGEINFO info{};
        ASSERT_EQ(S_OK, page->GetPageInfo(&info));
        EXPECT_STREQ(L"General", info.pszTitle);
        EXPECT_GT(info.size.cx, 0);
        CoTaskMemFree(info.pszTitle);
        // The class information names the empty event interface as its source.
        CPtr<IProvideClassInfo2> classInfo;
        ASSERT_EQ(S_OK, object->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&classInfo)));
        CPtr<ITypeInfo> type;
        ASSERT_EQ(S_OK, classInfo->GetClassInfo(&type));
    }
}

TEST(TrackScopeModule, EveryMemberAnswersByNameWithItsDispid)
{
    struct Member {
        const wchar_t* name;
        DISPID id;
    };
    const Member mp3[] = {{L"SetFilePath", 2}, {L"GetTitle", 3},   {L"GetArtistName", 4}, {L"GetAlbumName", 5},
                          {L"GetYear", 6},     {L"GetComment", 7}, {L"GetGenre", 8},      {L"GetBitrate", 9},
                          {L"GetSize", 10}};
    const Member wma[] = {{L"SetFilePath", 2}, {L"GetTitle", 3},     {L"GetAuthor", 4}, {L"GetAlbumName", 5},
                          {L"GetYear", 6},     {L"GetCopyright", 7}, {L"GetGenre", 8},  {L"GetBitrate", 9},
                          {L"GetSize", 10},    {L"AboutBox", DISPID_ABOUTBOX}};
    const Member aac[] = {{L"SetFilePath", 2}, {L"GetBitrate", 3}, {L"AboutBox", DISPID_ABOUTBOX}};
    struct Control {
        const wchar_t* progId;
        const Member* members;
        size_t count;
    } controls[] = {{L"TRACKSCOPE.MP3AnalyzerCtrl.1", mp3, 9},
                    {L"TRACKSCOPE.WMAAnalyzerCtrl.1", wma, 10},
                    {L"TRACKSCOPE.AACAnalyzerCtrl.1", aac, 3}};
    for (const Control& c : controls) {
        CScripted ctl(c.progId);
        for (size_t i = 0; i < c.count; ++i)
            EXPECT_EQ(c.members[i].id, ctl.Id(c.members[i].name)) << c.members[i].name;
        EXPECT_EQ(DISPID_UNKNOWN, ctl.Id(L"GetDuration"));
        // Wrong argument counts and types are refused, never read past.
        EXPECT_EQ(DISP_E_BADPARAMCOUNT, ctl.Call(L"SetFilePath", {}, nullptr));
        VARIANT unknown;
        unknown.vt = VT_UNKNOWN;
        unknown.punkVal = nullptr;
        EXPECT_EQ(DISP_E_TYPEMISMATCH, ctl.Call(L"SetFilePath", {unknown}, nullptr));
        VARIANT r;
        VariantInit(&r);
        EXPECT_EQ(S_OK, ctl.Call(L"GetBitrate", {}, &r));
        EXPECT_EQ(VT_I4, r.vt);
        EXPECT_EQ(0, r.lVal);  // nothing analysed yet
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
                  mbcom::CPtr<IDispatch>(ctl.Get())->Invoke(77, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr,
                                                            nullptr, nullptr));
    }
    CScripted mp3ctl(L"TRACKSCOPE.MP3AnalyzerCtrl.1");
    VARIANT notByRef;
    notByRef.vt = VT_I4;
    notByRef.lVal = 1;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, mp3ctl.Call(L"GetSize", {notByRef, notByRef}, nullptr));
    EXPECT_EQ(L"", mp3ctl.Text(L"GetTitle"));
    LONG low, high;
    mp3ctl.Size(low, high);
    EXPECT_EQ(0, low);
    EXPECT_EQ(0, high);
}

// --- MP3 ---

TEST(Mp3Analyzer, CorpusEqualsTheMp3Reader)
{
    ASSERT_EQ(1252u, GetACP());  // the expected texts are Windows-1252 bytes
    const std::vector<Mp3Expected> all = LoadMp3Expected(MP3INFO_DATA);
    ASSERT_GE(all.size(), 60u);
    CScripted ctl(L"TRACKSCOPE.MP3AnalyzerCtrl.1");
    for (const Mp3Expected& e : all) {
        const std::string name = e.Text("file");
        SCOPED_TRACE(name);
        const std::string path = mbtest::HostWinPath(std::string(MP3INFO_DATA) + "/corpus/" + name);
        ASSERT_EQ(e.Number("open") == 1, ctl.SetFilePath(path));
        EXPECT_EQ(AnsiToWide(e.Text("title")), ctl.Text(L"GetTitle"));
        EXPECT_EQ(AnsiToWide(e.Text("artist")), ctl.Text(L"GetArtistName"));
        EXPECT_EQ(AnsiToWide(e.Text("album")), ctl.Text(L"GetAlbumName"));
        EXPECT_EQ(AnsiToWide(e.Text("year")), ctl.Text(L"GetYear"));
        EXPECT_EQ(AnsiToWide(e.Text("comment")), ctl.Text(L"GetComment"));
        EXPECT_EQ(AnsiToWide(e.Text("genre")), ctl.Text(L"GetGenre"));
        EXPECT_EQ(e.Number("getbitrate"), ctl.Long(L"GetBitrate"));
        LONG low, high;
        ctl.Size(low, high);
        EXPECT_EQ(FileSize(path), low);
        EXPECT_EQ(0, high);
    }
}

TEST(Mp3Analyzer, AnUnopenableFileGivesFalseAndClearsTheLastFile)
{
    CScripted ctl(L"TRACKSCOPE.MP3AnalyzerCtrl.1");
    ASSERT_TRUE(ctl.SetFilePath(mbtest::HostWinPath(std::string(MP3INFO_DATA) + "/corpus/id3v1-lame.mp3")));
    ASSERT_EQ(L"Song", ctl.Text(L"GetTitle"));
    EXPECT_FALSE(ctl.SetFilePath(mbtest::HostWinPath(std::string(MP3INFO_DATA) + "/corpus/no-such-file.mp3")));
    EXPECT_EQ(L"", ctl.Text(L"GetTitle"));
    EXPECT_EQ(0, ctl.Long(L"GetBitrate"));
    LONG low, high;
    ctl.Size(low, high);
    EXPECT_EQ(0, low);
}

// --- WMA (our wmvcore.dll) ---

const char kSharedEventName[] = "4BC20E2B-D8AA-48F5-860E-E092DAAE0A01";

struct WmaRow {
    std::string path;
    LONG size;
    LONG bitrate;
    std::wstring texts[6];
};

std::vector<WmaRow> WmaRows()
{
    std::vector<WmaRow> rows;
    for (const auto& cells : ReadTsv(std::string(ANALYSIS_DATA) + "/wma_expected.tsv")) {
        WmaRow r;
        r.path = mbtest::HostWinPath(std::string(MB_TOP) + "/" + cells[0]);
        r.size = std::stol(cells[1]);
        r.bitrate = std::stol(cells[2]);
        for (int i = 0; i < 6; ++i)
            r.texts[i] = ThroughAnsi(Wide(cells[3 + i]));
        rows.push_back(r);
    }
    return rows;
}

void ExpectWma(const CScripted& ctl, const WmaRow& r)
{
    EXPECT_EQ(r.texts[0], ctl.Text(L"GetTitle"));
    EXPECT_EQ(r.texts[1], ctl.Text(L"GetAuthor"));
    EXPECT_EQ(r.texts[2], ctl.Text(L"GetAlbumName"));
    EXPECT_EQ(r.texts[3], ctl.Text(L"GetYear"));
    EXPECT_EQ(r.texts[4], ctl.Text(L"GetCopyright"));
    EXPECT_EQ(r.texts[5], ctl.Text(L"GetGenre"));
    EXPECT_EQ(r.bitrate, ctl.Long(L"GetBitrate"));
    LONG low, high;
    ctl.Size(low, high);
    EXPECT_EQ(r.size, low);
    EXPECT_EQ(0, high);
}

TEST(WmaAnalyzer, CorpusEqualsMutagen)
{
    SetEnvironmentVariableA("MB_WMVCORE_DELAY_MS", "20");
    const std::vector<WmaRow> rows = WmaRows();
    ASSERT_GE(rows.size(), 19u);
    CScripted ctl(L"TRACKSCOPE.WMAAnalyzerCtrl.1");
    // Twice over, so every file is also read after another one.
    for (int round = 0; round < 2; ++round) {
        for (const WmaRow& r : rows) {
            SCOPED_TRACE(r.path);
            ASSERT_TRUE(ctl.SetFilePath(r.path));
            ExpectWma(ctl, r);
        }
    }
    SetEnvironmentVariableA("MB_WMVCORE_DELAY_MS", nullptr);
    // No control makes the shared named event of older designs.
    EXPECT_EQ(nullptr, OpenEventA(EVENT_ALL_ACCESS, FALSE, kSharedEventName));
}

TEST(WmaAnalyzer, MissingFilesFalseOthersTrueWithEmptyResults)
{
    const std::vector<WmaRow> rows = WmaRows();
    CScripted ctl(L"TRACKSCOPE.WMAAnalyzerCtrl.1");
    ASSERT_TRUE(ctl.SetFilePath(rows[0].path));
    ASSERT_NE(L"", ctl.Text(L"GetTitle"));
    EXPECT_FALSE(ctl.SetFilePath(mbtest::HostWinPath(std::string(ANALYSIS_DATA) + "/no-such-file.wma")));
    EXPECT_EQ(L"", ctl.Text(L"GetTitle"));
    EXPECT_EQ(0, ctl.Long(L"GetBitrate"));
    // A folder exists but the reader refuses it at once: empty results.
    ASSERT_TRUE(ctl.SetFilePath(rows[0].path));
    EXPECT_TRUE(ctl.SetFilePath(mbtest::HostWinPath(std::string(ANALYSIS_DATA))));
    EXPECT_EQ(L"", ctl.Text(L"GetTitle"));
    EXPECT_EQ(0, ctl.Long(L"GetBitrate"));
    // A name with wildcards names no file, even where files match it: no
    // other file's size stands for it.
    ASSERT_TRUE(ctl.SetFilePath(rows[0].path));
    for (const char* pattern : {"/*.wma", "/copyright_128k.wm?"}) {
        SCOPED_TRACE(pattern);
        EXPECT_FALSE(ctl.SetFilePath(mbtest::HostWinPath(std::string(ANALYSIS_DATA) + pattern)));
        LONG low = -1, high = -1;
        ctl.Size(low, high);
        EXPECT_EQ(0, low);
        EXPECT_EQ(L"", ctl.Text(L"GetTitle"));
    }
    // The reader is still usable afterwards.
    ASSERT_TRUE(ctl.SetFilePath(rows[0].path));
    ExpectWma(ctl, rows[0]);
}

// Runs control B's analysis from a timer, that is from inside A's wait.
struct CSecondAnalysis {
    static const CScripted* control;
    static std::string path;
    static bool ran;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        ran = control->SetFilePath(path);
    }
};
const CScripted* CSecondAnalysis::control = nullptr;
std::string CSecondAnalysis::path;
bool CSecondAnalysis::ran = false;

// Control B analyses its file while control A waits for the reader (the wait
// pumps messages): each gets its own file's values.
TEST(WmaAnalyzer, TwoControlsAtOnceDoNotShareAnEvent)
{
    const std::vector<WmaRow> rows = WmaRows();
    const WmaRow& first = rows[0];                // tags_128k
    const WmaRow& second = rows[rows.size() - 2];  // copyright_128k
    CScripted a(L"TRACKSCOPE.WMAAnalyzerCtrl.1");
    CScripted b(L"TRACKSCOPE.WMAAnalyzerCtrl.1");
    CSecondAnalysis::control = &b;
    CSecondAnalysis::path = second.path;
    CSecondAnalysis::ran = false;
    SetEnvironmentVariableA("MB_WMVCORE_DELAY_MS", "400");
    UINT_PTR timer = SetTimer(nullptr, 0, 50, &CSecondAnalysis::Tick);
    ASSERT_NE(0u, timer);
    ASSERT_TRUE(a.SetFilePath(first.path));
    SetEnvironmentVariableA("MB_WMVCORE_DELAY_MS", nullptr);
    ASSERT_TRUE(CSecondAnalysis::ran);
    {
        SCOPED_TRACE("A");
        ExpectWma(a, first);
    }
    {
        SCOPED_TRACE("B");
        ExpectWma(b, second);
    }
    EXPECT_EQ(nullptr, OpenEventA(EVENT_ALL_ACCESS, FALSE, kSharedEventName));
}

// The same control called again from inside its own wait is refused, and
// the analysis that waits finishes with its own file's values.
TEST(WmaAnalyzer, ACallFromInsideItsOwnWaitIsRefused)
{
    const std::vector<WmaRow> rows = WmaRows();
    CScripted a(L"TRACKSCOPE.WMAAnalyzerCtrl.1");
    CSecondAnalysis::control = &a;
    CSecondAnalysis::path = rows[1].path;
    CSecondAnalysis::ran = true;
    SetEnvironmentVariableA("MB_WMVCORE_DELAY_MS", "400");
    UINT_PTR timer = SetTimer(nullptr, 0, 50, &CSecondAnalysis::Tick);
    ASSERT_NE(0u, timer);
    ASSERT_TRUE(a.SetFilePath(rows[0].path));
    SetEnvironmentVariableA("MB_WMVCORE_DELAY_MS", nullptr);
    EXPECT_FALSE(CSecondAnalysis::ran);
    ExpectWma(a, rows[0]);
}

// Drops the last reference to a control from a timer, that is from inside
// the control's own wait, as a container does when its window is closed
// meanwhile; keeps what Release returned.
struct CReleaseInWait {
    static IDispatch* control;
    static ULONG left;
    static bool ran;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        left = control->Release();
        ran = true;
    }
};
IDispatch* CReleaseInWait::control = nullptr;
ULONG CReleaseInWait::left = 0;
bool CReleaseInWait::ran = false;

// The call in flight keeps the control alive: it ends normally, and the
// control goes only afterwards.
TEST(WmaAnalyzer, AControlReleasedDuringItsWaitLivesUntilTheCallEnds)
{
    const std::vector<WmaRow> rows = WmaRows();
    CScripted a(L"TRACKSCOPE.WMAAnalyzerCtrl.1");
    ASSERT_TRUE(a.Get());
    const DISPID setFilePath = a.Id(L"SetFilePath");
    ASSERT_NE(DISPID_UNKNOWN, setFilePath);
    // The test's one reference goes to the timer.
    IDispatch* raw = a.Get();
    raw->AddRef();
    CReleaseInWait::control = raw;
    CReleaseInWait::left = 99;
    CReleaseInWait::ran = false;
    {
        CScripted dropped = std::move(a);
    }
    VARIANT arg;
    arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocString(AnsiToWide(rows[0].path).c_str());
    DISPPARAMS params{&arg, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    UINT argErr = 0;
    SetEnvironmentVariableA("MB_WMVCORE_DELAY_MS", "400");
    UINT_PTR timer = SetTimer(nullptr, 0, 50, &CReleaseInWait::Tick);
    ASSERT_NE(0u, timer);
    const HRESULT hr =
        raw->Invoke(setFilePath, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, &argErr);
    SetEnvironmentVariableA("MB_WMVCORE_DELAY_MS", nullptr);
    SysFreeString(arg.bstrVal);
    ASSERT_TRUE(CReleaseInWait::ran);
    // Released inside the wait, the control was still held by its call.
    EXPECT_EQ(1u, CReleaseInWait::left);
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(VT_BOOL, result.vt);
    EXPECT_EQ(VARIANT_TRUE, result.boolVal);
}

// A reader that accepts Open and never answers: the control gives up after
// its bound, reports nothing, and analyses the next file normally.
TEST(WmaAnalyzer, ASilentReaderEndsTheWaitWithinTheBound)
{
    const std::vector<WmaRow> rows = WmaRows();
    CScripted ctl(L"TRACKSCOPE.WMAAnalyzerCtrl.1");
    SetEnvironmentVariableA("MB_WMVCORE_SILENT", "1");
    const DWORD start = GetTickCount();
    EXPECT_TRUE(ctl.SetFilePath(rows[0].path));
    const DWORD waited = GetTickCount() - start;
    SetEnvironmentVariableA("MB_WMVCORE_SILENT", nullptr);
    EXPECT_GE(waited, 29000u);  // it did wait for the reader, up to its bound
    EXPECT_EQ(L"", ctl.Text(L"GetTitle"));
    EXPECT_EQ(0, ctl.Long(L"GetBitrate"));
    ASSERT_TRUE(ctl.SetFilePath(rows[1].path));
    ExpectWma(ctl, rows[1]);
}

// Closes the message box titled "WMA Analyzer" from this thread's timer (the
// box's own loop runs it) and keeps its text.
struct CMessageWatch {
    static std::wstring text;
    static int ticks;
    static BOOL CALLBACK Collect(HWND child, LPARAM)
    {
        wchar_t buffer[256] = {};
        GetWindowTextW(child, buffer, 256);
        text += buffer;
        text += L"|";
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        HWND box = FindWindowW(nullptr, L"WMA Analyzer");
        if (!box || ++ticks < 3)
            return;
        KillTimer(nullptr, id);
        EnumChildWindows(box, &CMessageWatch::Collect, 0);
        mbtest::SaveScreenshot(box, "wma_no_reader");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
};
std::wstring CMessageWatch::text;
int CMessageWatch::ticks = 0;

// Run with the reader library switched off (WINEDLLOVERRIDES=wmvcore=):
// the user is told, and the analysis gives empty results.
TEST(WmaNoReader, TheFailureIsShownAndTheResultsAreEmpty)
{
    if (!GetEnvironmentVariableA("MB_EXPECT_NO_READER", nullptr, 0))
        GTEST_SKIP() << "runs only with wmvcore.dll switched off";
    const std::vector<WmaRow> rows = WmaRows();
    CScripted ctl(L"TRACKSCOPE.WMAAnalyzerCtrl.1");
    CMessageWatch::text.clear();
    CMessageWatch::ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 100, &CMessageWatch::Tick);
    ASSERT_NE(0u, timer);
    EXPECT_TRUE(ctl.SetFilePath(rows[0].path));
    KillTimer(nullptr, timer);
    EXPECT_NE(std::wstring::npos, CMessageWatch::text.find(L"Could not create Reader (hr=0x")) << CMessageWatch::text;
    EXPECT_EQ(L"", ctl.Text(L"GetTitle"));
    EXPECT_EQ(0, ctl.Long(L"GetBitrate"));
    LONG low, high;
    ctl.Size(low, high);
    EXPECT_EQ(rows[0].size, low);
}

// --- AAC (our aacinfo.exe) ---

class AacAnalyzer : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(MAX_PATH, m_previous);
        m_work = std::string(m_previous) + "\\aacwork";
        CreateDirectoryA(m_work.c_str(), nullptr);
        ASSERT_TRUE(SetCurrentDirectoryA(m_work.c_str()));
        SetFileAttributesA("aacinfo.txt", FILE_ATTRIBUTE_NORMAL);
        DeleteFileA("aacinfo.txt");
        std::wstring tool = ExeFolder() + L"aacinfo.exe";
        ASSERT_TRUE(CopyFileW(tool.c_str(), L"aacinfo.exe", FALSE));
    }
    void TearDown() override
    {
        SetFileAttributesA("aacinfo.txt", FILE_ATTRIBUTE_NORMAL);
        DeleteFileA("aacinfo.txt");
        SetCurrentDirectoryA(m_previous);
    }
    static std::string Data(const std::string& name) { return mbtest::HostWinPath(std::string(AACINFO_DATA) + "/" + name); }
    static void WriteOutput(const char* text)
    {
        std::ofstream("aacinfo.txt", std::ios::binary) << text;
    }

    char m_previous[MAX_PATH] = {};
    std::string m_work;
};

TEST_F(AacAnalyzer, CorpusEqualsFfprobe)
{
    const auto rows = ReadTsv(std::string(AACINFO_DATA) + "/expected.tsv");
    ASSERT_GE(rows.size(), 12u);
    CScripted ctl(L"TRACKSCOPE.AACAnalyzerCtrl.1");
    bool sawSpaces = false;
    for (const auto& cells : rows) {
        SCOPED_TRACE(cells[0]);
        sawSpaces = sawSpaces || cells[0].find(' ') != std::string::npos;
        EXPECT_TRUE(ctl.SetFilePath(Data(cells[0])));
        const LONG expected = std::stol(cells[4]);
        EXPECT_EQ(expected < 0 ? 0 : expected, ctl.Long(L"GetBitrate"));
    }
    EXPECT_TRUE(sawSpaces);
}

TEST_F(AacAnalyzer, AStaleOutputIsNeverRead)
{
    CScripted ctl(L"TRACKSCOPE.AACAnalyzerCtrl.1");
    ASSERT_TRUE(ctl.SetFilePath(Data("lc_44100_stereo.aac")));
    ASSERT_EQ(129, ctl.Long(L"GetBitrate"));
    // The tool cannot read a missing file and writes nothing.
    WriteOutput("[1:ADTS][2:44100][3:2][4:999][5:1][6:1][7:LC]");
    EXPECT_TRUE(ctl.SetFilePath(Data("no-such-file.aac")));
    EXPECT_EQ(0, ctl.Long(L"GetBitrate"));
    // An old output that cannot be deleted is not read either.
    WriteOutput("[4:777]");
    SetFileAttributesA("aacinfo.txt", FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(ctl.SetFilePath(Data("lc_44100_stereo.aac")));
    EXPECT_EQ(0, ctl.Long(L"GetBitrate"));
}

TEST_F(AacAnalyzer, WithoutTheToolTheLastResultStays)
{
    CScripted ctl(L"TRACKSCOPE.AACAnalyzerCtrl.1");
    ASSERT_TRUE(ctl.SetFilePath(Data("lc_48000_stereo.aac")));
    ASSERT_EQ(193, ctl.Long(L"GetBitrate"));
    ASSERT_TRUE(DeleteFileA("aacinfo.exe"));
    EXPECT_TRUE(ctl.SetFilePath(Data("lc_8000_mono.aac")));
    EXPECT_EQ(193, ctl.Long(L"GetBitrate"));
}

// --- activation in a container ---

// A container site that offers windowless activation, or refuses it; it
// records how the control activated.
class CTestSite : public IOleClientSite, public IOleInPlaceSiteWindowless {
public:
    CTestSite(HWND window, bool offerWindowless) : m_window(window), m_offer(offerWindowless) {}
    DWORD activateExFlags = 0;
    int windowedActivations = 0;
    int invalidations = 0;
    int deactivations = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
            *out = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite) ||
                 IsEqualIID(iid, IID_IOleInPlaceSiteEx) || IsEqualIID(iid, IID_IOleInPlaceSiteWindowless))
            *out = static_cast<IOleInPlaceSiteWindowless*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    // Lives on the test's stack.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override
    {
        *out = m_window;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override
    {
        ++windowedActivations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO) override
    {
        *frame = nullptr;
        *doc = nullptr;
        *pos = {10, 10, 130, 40};
        *clip = *pos;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override
    {
        ++deactivations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override
    {
        if (noRedraw)
            *noRedraw = FALSE;
        activateExFlags = flags;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override
    {
        ++deactivations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override { return m_offer ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE GetCapture() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetCapture(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetFocus() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetFocus(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetDC(LPCRECT, DWORD, HDC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT, BOOL) override
    {
        ++invalidations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT*) override { return S_FALSE; }

private:
    HWND m_window;
    bool m_offer;
};

// The MP3 control asks for windowless activation and takes a window of its
// own where the container cannot give that; the other two always take one.
TEST(AnalyzerWindows, TheMp3ControlAsksForWindowlessActivation)
{
    struct Case {
        const CLSID* clsid;
        bool offer;
        bool windowless;
    } cases[] = {
        {&CLSID_MP3Analyzer, true, true},   {&CLSID_MP3Analyzer, false, false}, {&CLSID_WMAAnalyzer, true, false},
        {&CLSID_AACAnalyzer, true, false},
    };
    HWND host = CreateWindowExW(0, L"STATIC", L"TrackScope host", WS_POPUP | WS_VISIBLE | WS_BORDER, 60, 60, 200, 80,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, host);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        CTestSite site(host, c.offer);
        CPtr<IOleObject> ole;
        ASSERT_EQ(S_OK, CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                         reinterpret_cast<void**>(&ole)));
        ASSERT_EQ(S_OK, ole->SetClientSite(&site));
        RECT r{10, 10, 130, 40};
        ASSERT_EQ(S_OK, ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &r));
        CPtr<IOleInPlaceObject> inPlace;
        ASSERT_EQ(S_OK, ole.As(&inPlace));
        HWND own = nullptr;
        if (c.windowless) {
            EXPECT_EQ(static_cast<DWORD>(ACTIVATE_WINDOWLESS), site.activateExFlags);
            EXPECT_EQ(0, site.windowedActivations);
            EXPECT_NE(S_OK, inPlace->GetWindow(&own));
            EXPECT_GE(site.invalidations, 1);
            CPtr<IOleInPlaceObjectWindowless> windowless;
            ASSERT_EQ(S_OK, ole.As(&windowless));
            LRESULT lr = 0;
            EXPECT_EQ(S_OK, windowless->OnWindowMessage(WM_MOUSEMOVE, 0, MAKELPARAM(20, 20), &lr));
        } else {
            EXPECT_EQ(0u, site.activateExFlags);
            EXPECT_EQ(1, site.windowedActivations);
            EXPECT_EQ(S_OK, inPlace->GetWindow(&own));
            EXPECT_TRUE(IsWindow(own));
            mbtest::PumpFor(100);
            mbtest::SaveScreenshot(host, "activated_" + std::to_string(n));
        }
        EXPECT_EQ(S_OK, inPlace->InPlaceDeactivate());
        EXPECT_EQ(1, site.deactivations);
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
        ++n;
    }
    DestroyWindow(host);
}

bool ToolIsRunning()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok && !found; ok = Process32NextW(snapshot, &entry))
        found = _wcsicmp(entry.szExeFile, L"aacinfo.exe") == 0;
    CloseHandle(snapshot);
    return found;
}

// A tool that does not end is waited for up to the bound, then stopped; no
// output of it is read.
TEST_F(AacAnalyzer, AToolThatDoesNotEndIsStoppedAfterTheBound)
{
    CScripted ctl(L"TRACKSCOPE.AACAnalyzerCtrl.1");
    ASSERT_TRUE(ctl.SetFilePath(Data("lc_44100_stereo.aac")));
    ASSERT_EQ(129, ctl.Long(L"GetBitrate"));
    SetEnvironmentVariableA("MB_AACINFO_DELAY_MS", "600000");
    const DWORD start = GetTickCount();
    EXPECT_TRUE(ctl.SetFilePath(Data("lc_48000_stereo.aac")));
    const DWORD waited = GetTickCount() - start;
    SetEnvironmentVariableA("MB_AACINFO_DELAY_MS", nullptr);
    EXPECT_GE(waited, 29000u);
    EXPECT_EQ(0, ctl.Long(L"GetBitrate"));
    EXPECT_FALSE(ToolIsRunning());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("aacinfo.txt"));
    // The next analysis runs the tool as before.
    EXPECT_TRUE(ctl.SetFilePath(Data("lc_48000_stereo.aac")));
    EXPECT_EQ(193, ctl.Long(L"GetBitrate"));
}

// --- about boxes and pages, as a user sees them ---

struct CAboutWatch {
    static std::wstring title;
    static std::wstring text;
    static std::string shot;
    static int ticks;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        HWND box = FindWindowW(nullptr, title.c_str());
        if (!box)
            return;
        // One more tick, so the box is on the screen and painted.
        if (++ticks < 3) {
            RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            return;
        }
        KillTimer(nullptr, id);
        wchar_t buffer[128] = {};
        GetDlgItemTextW(box, 1001, buffer, 128);
        text = buffer;
        shot = mbtest::SaveScreenshot(box, "about_" + std::string(title.begin() + 6, title.begin() + 9));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
};
std::wstring CAboutWatch::title;
std::wstring CAboutWatch::text;
std::string CAboutWatch::shot;
int CAboutWatch::ticks = 0;

TEST(AnalyzerWindows, AboutBoxesShowTheirVersion)
{
    struct Case {
        const wchar_t* progId;
        const wchar_t* title;
        const wchar_t* text;
    } cases[] = {
        {L"TRACKSCOPE.WMAAnalyzerCtrl.1", L"About WMAAnalyzer Control", L"WMAAnalyzer Control, Version 1.0"},
        {L"TRACKSCOPE.AACAnalyzerCtrl.1", L"About AACAnalyzer Control", L"AACAnalyzer Control, Version 1.0"},
    };
    for (const Case& c : cases) {
        CScripted ctl(c.progId);
        CAboutWatch::title = c.title;
        CAboutWatch::text.clear();
        CAboutWatch::ticks = 0;
        UINT_PTR timer = SetTimer(nullptr, 0, 100, &CAboutWatch::Tick);
        ASSERT_NE(0u, timer);
        EXPECT_EQ(S_OK, ctl.Call(L"AboutBox", {}, nullptr));
        KillTimer(nullptr, timer);
        EXPECT_EQ(c.text, CAboutWatch::text);
    }
}

TEST(AnalyzerWindows, PagesShowTheirCredits)
{
    const CLSID* pages[] = {&kMp3Page, &kWmaPage, &kAacPage};
    HWND frame = CreateWindowExW(0, L"STATIC", L"TrackScope pages", WS_POPUP | WS_VISIBLE | WS_BORDER, 50, 50, 420,
                                 140, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, frame);
    int n = 0;
    for (const CLSID* clsid : pages) {
        CPtr<IPropertyPage> page;
        ASSERT_EQ(S_OK, CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                         reinterpret_cast<void**>(&page)));
        RECT r{0, 0, 400, 120};
        ASSERT_EQ(S_OK, page->Activate(frame, &r, TRUE));
        ASSERT_EQ(S_OK, page->Show(SW_SHOW));
        EXPECT_EQ(S_FALSE, page->IsPageDirty());
        EXPECT_EQ(S_OK, page->Apply());
        HWND dialog = GetWindow(frame, GW_CHILD);
        ASSERT_NE(nullptr, dialog);
        wchar_t text[256] = {};
        GetDlgItemTextW(dialog, 1000, text, 256);
        EXPECT_NE(nullptr, wcsstr(text, L"TrackScope")) << n;
        mbtest::PumpFor(100);
        mbtest::SaveScreenshot(frame, "page_" + std::to_string(n++));
        EXPECT_EQ(S_OK, page->Deactivate());
    }
    DestroyWindow(frame);
}

}  // namespace
