// TrackScope.ocx's entry points: the class table, self-registration and
// unloading.
#include <windows.h>
#include <olectl.h>

#include "AACAnalyzerCtrl.h"
#include "AnalyzerCtrl.h"
#include "AnalyzerPropPage.h"
#include "MP3AnalyzerCtrl.h"
#include "Module.h"
#include "Registry.h"
#include "TrackScope_h.h"
#include "WMAAnalyzerCtrl.h"
#include "resource.h"

namespace {

const mbcom::CClassEntry kClasses[] = {
    {&CLSID_MP3Analyzer, &mbcom::CreateObject<CMP3AnalyzerCtrl>},
    {&CLSID_WMAAnalyzer, &mbcom::CreateObject<CWMAAnalyzerCtrl>},
    {&CLSID_AACAnalyzer, &mbcom::CreateObject<CAACAnalyzerCtrl>},
    {&CLSID_MP3AnalyzerPropPage, &mbcom::CreateObject<CAnalyzerPropPageOf<IDD_PROPPAGE_MP3>>},
    {&CLSID_WMAAnalyzerPropPage, &mbcom::CreateObject<CAnalyzerPropPageOf<IDD_PROPPAGE_WMA>>},
    {&CLSID_AACAnalyzerPropPage, &mbcom::CreateObject<CAnalyzerPropPageOf<IDD_PROPPAGE_AAC>>},
};

struct CClassText {
    const CLSID* clsid;
    int typeName;            // string resource
    const wchar_t* progId;
    int toolboxBitmap;       // 0: a property page
    DWORD miscStatus;
};

// The controls are registered with their versioned ProgIDs only and are not
// offered as insertable objects. The pages' ProgIDs follow the controls'
// pattern ("TRACKSCOPE.<Name>PropPage.1"); pages keep no other entries than a
// plain class's.
const CClassText kTexts[] = {
    {&CLSID_MP3Analyzer, IDS_MP3_TYPENAME, L"TRACKSCOPE.MP3AnalyzerCtrl.1", IDB_MP3ANALYZER, 0x20091},
    {&CLSID_WMAAnalyzer, IDS_WMA_TYPENAME, L"TRACKSCOPE.WMAAnalyzerCtrl.1", IDB_WMAANALYZER, 0x20191},
    {&CLSID_AACAnalyzer, IDS_AAC_TYPENAME, L"TRACKSCOPE.AACAnalyzerCtrl.1", IDB_AACANALYZER, 0x20191},
    {&CLSID_MP3AnalyzerPropPage, IDS_MP3_PAGE_TYPENAME, L"TRACKSCOPE.MP3AnalyzerPropPage.1", 0, 0},
    {&CLSID_WMAAnalyzerPropPage, IDS_WMA_PAGE_TYPENAME, L"TRACKSCOPE.WMAAnalyzerPropPage.1", 0, 0},
    {&CLSID_AACAnalyzerPropPage, IDS_AAC_PAGE_TYPENAME, L"TRACKSCOPE.AACAnalyzerPropPage.1", 0, 0},
};

std::wstring LoadText(int id)
{
    char text[128] = {};
    LoadStringA(mbcom::CModule::Instance(), static_cast<UINT>(id), text, 128);
    return FromAnsi(text);
}

HRESULT ForEachClass(bool registering)
{
    HRESULT result = S_OK;
    for (const CClassText& c : kTexts) {
        const std::wstring typeName = LoadText(c.typeName);
        mbcom::CClassRegistration r{c.clsid, typeName.c_str(), c.progId, nullptr};
        if (c.toolboxBitmap) {
            r.libid = &LIBID_TRACKSCOPELib;
            r.version = L"1.0";
            r.toolboxBitmap = c.toolboxBitmap;
            r.miscStatus = c.miscStatus;
            r.insertable = false;
        }
        HRESULT hr = registering ? mbcom::RegisterComClass(r) : mbcom::UnregisterComClass(r);
        if (FAILED(hr)) {
            if (registering)
                return hr;
            result = hr;
        }
    }
    return result;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        mbcom::CModule::Init(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return mbcom::CModule::CanUnloadNow();
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    return mbcom::GetClassObject(kClasses, sizeof(kClasses) / sizeof(kClasses[0]), clsid, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    if (FAILED(mbcom::RegisterModuleTypeLib()))
        return SELFREG_E_TYPELIB;
    if (FAILED(ForEachClass(true))) {
        // Half a registration would leave classes that cannot be created.
        ForEachClass(false);
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    if (FAILED(mbcom::UnregisterModuleTypeLib()))
        return SELFREG_E_TYPELIB;
    if (FAILED(ForEachClass(false)))
        return SELFREG_E_CLASS;
    return S_OK;
}
