// A data object for OLE drag and drop and the clipboard: formats offered as
// global memory blocks, either given at once or rendered when a target asks
// (OnRenderGlobalData), and the drag loop with a plain drop source.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <ole2.h>

#include <vector>

namespace mbcom {

class CDataSource : public IDataObject {
public:
    CDataSource();
    CDataSource(const CDataSource&) = delete;
    CDataSource& operator=(const CDataSource&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDataObject: every format is content aspect, global memory.
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

    // Offers a block at once; the data source owns it from now on and hands
    // each asker a copy. Index -1 answers any index.
    void CacheGlobalData(CLIPFORMAT format, HGLOBAL block, LONG index = -1);
    // Offers a format that OnRenderGlobalData renders when asked.
    void DelayRenderData(CLIPFORMAT format, LONG index = -1);

    // The drag loop (OLE must be initialised on this thread).
    HRESULT DoDragDrop(DWORD allowedEffects, DWORD* effect);

protected:
    virtual ~CDataSource();
    // Renders a delayed format into a new block the caller will own; false
    // when nothing could be rendered.
    virtual bool OnRenderGlobalData(const FORMATETC& format, HGLOBAL* block);

private:
    struct Entry {
        FORMATETC format;
        HGLOBAL block;  // null: rendered on demand
    };
    const Entry* Find(const FORMATETC& format) const;
    std::vector<Entry> m_entries;
    LONG m_refs = 1;
};

// A copy of a global block (nullptr when it cannot be made).
HGLOBAL CopyGlobal(HGLOBAL block);

}  // namespace mbcom
