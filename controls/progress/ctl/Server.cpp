// Progress.dll's entry points: the class table, registration and unloading.
#include <windows.h>

#include "Module.h"
#include "ProgressCtl.h"
#include "ProgressProp.h"
#include "Registry.h"

namespace {

const mbcom::CClassEntry kClasses[] = {
    {&CLSID_ProgressCtl, &mbcom::CreateObject<ProgressCtl>},
    {&CLSID_ProgressProp, &mbcom::CreateObject<ProgressProp>},
};

mbcom::CClassRegistration ControlRegistration()
{
    mbcom::CClassRegistration r{&CLSID_ProgressCtl, L"ProgressCtl Class", L"Progress.ProgressCtl.1",
                                L"Progress.ProgressCtl"};
    r.libid = &LIBID_PROGRESSLib;
    r.version = L"1.0";
    r.toolboxBitmap = 102;
    r.miscStatus = PROGRESS_MISC_STATUS;
    return r;
}

mbcom::CClassRegistration PageRegistration()
{
    return {&CLSID_ProgressProp, L"ProgressProp Class", L"Progress.ProgressProp.1", L"Progress.ProgressProp"};
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
    HRESULT hr = mbcom::RegisterComClass(ControlRegistration());
    if (SUCCEEDED(hr))
        hr = mbcom::RegisterComClass(PageRegistration());
    if (SUCCEEDED(hr))
        hr = mbcom::RegisterModuleTypeLib();
    if (FAILED(hr)) {
        // Half a registration would leave a class that cannot be created.
        mbcom::UnregisterComClass(ControlRegistration());
        mbcom::UnregisterComClass(PageRegistration());
    }
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    HRESULT hr = mbcom::UnregisterModuleTypeLib();
    HRESULT hr2 = mbcom::UnregisterComClass(ControlRegistration());
    HRESULT hr3 = mbcom::UnregisterComClass(PageRegistration());
    return FAILED(hr2) ? hr2 : FAILED(hr3) ? hr3 : hr;
}
