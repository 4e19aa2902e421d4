#include "DataSource.h"

#include <cstring>

namespace mbcom {

namespace {

// IUnknown of an object that offers one interface and deletes itself with
// its last reference.
template <class Interface>
class CSingleInterface : public Interface {
public:
    virtual ~CSingleInterface() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(::InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = ::InterlockedDecrement(&m_refs);
        if (left == 0)
            delete this;
        return ULONG(left);
    }

private:
    LONG m_refs = 1;
};

// The offered formats, as a snapshot.
class CFormatEnum : public CSingleInterface<IEnumFORMATETC> {
public:
    explicit CFormatEnum(std::vector<FORMATETC> formats, ULONG at = 0) : m_formats(std::move(formats)), m_at(at) {}
    STDMETHODIMP Next(ULONG count, FORMATETC* out, ULONG* fetched) override
    {
        if (!out || (count > 1 && !fetched))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && m_at < m_formats.size())
            out[n++] = m_formats[m_at++];
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        m_at += count;
        if (m_at > m_formats.size()) {
            m_at = ULONG(m_formats.size());
            return S_FALSE;
        }
        return S_OK;
    }
    STDMETHODIMP Reset() override
    {
        m_at = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumFORMATETC** out) override
    {
        if (!out)
            return E_POINTER;
        *out = new CFormatEnum(m_formats, m_at);
        return S_OK;
    }

private:
    ~CFormatEnum() override = default;
    std::vector<FORMATETC> m_formats;
    ULONG m_at;
};

// Escape cancels, releasing the left button drops.
class CDropSource : public CSingleInterface<IDropSource> {
public:
    STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD keys) override
    {
        if (escape)
            return DRAGDROP_S_CANCEL;
        if (!(keys & MK_LBUTTON))
            return DRAGDROP_S_DROP;
        return S_OK;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    ~CDropSource() override = default;
};

}  // namespace

HGLOBAL CopyGlobal(HGLOBAL block)
{
    if (!block)
        return nullptr;
    SIZE_T size = ::GlobalSize(block);
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    if (!copy)
        return nullptr;
    void* from = ::GlobalLock(block);
    void* to = ::GlobalLock(copy);
    if (from && to && size)
        std::memcpy(to, from, size);
    if (to)
        ::GlobalUnlock(copy);
    if (from)
        ::GlobalUnlock(block);
    if (!from || !to) {
        ::GlobalFree(copy);
        return nullptr;
    }
    return copy;
}

CDataSource::CDataSource() = default;

CDataSource::~CDataSource()
{
    for (Entry& e : m_entries)
        if (e.block)
            ::GlobalFree(e.block);
}

STDMETHODIMP CDataSource::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDataObject) {
        *out = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CDataSource::AddRef()
{
    return ULONG(::InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) CDataSource::Release()
{
    LONG left = ::InterlockedDecrement(&m_refs);
    if (left == 0)
        delete this;
    return ULONG(left);
}

void CDataSource::CacheGlobalData(CLIPFORMAT format, HGLOBAL block, LONG index)
{
    m_entries.push_back(Entry{FORMATETC{format, nullptr, DVASPECT_CONTENT, index, TYMED_HGLOBAL}, block});
}

void CDataSource::DelayRenderData(CLIPFORMAT format, LONG index)
{
    m_entries.push_back(Entry{FORMATETC{format, nullptr, DVASPECT_CONTENT, index, TYMED_HGLOBAL}, nullptr});
}

const CDataSource::Entry* CDataSource::Find(const FORMATETC& f) const
{
    if (f.dwAspect != DVASPECT_CONTENT || !(f.tymed & TYMED_HGLOBAL))
        return nullptr;
    for (const Entry& e : m_entries)
        if (e.format.cfFormat == f.cfFormat && (e.format.lindex == -1 || e.format.lindex == f.lindex))
            return &e;
    return nullptr;
}

STDMETHODIMP CDataSource::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!format || !medium)
        return E_POINTER;
    std::memset(medium, 0, sizeof *medium);
    const Entry* e = Find(*format);
    if (!e)
        return DV_E_FORMATETC;
    HGLOBAL block = nullptr;
    if (e->block) {
        block = CopyGlobal(e->block);
        if (!block)
            return E_OUTOFMEMORY;
    } else if (!OnRenderGlobalData(*format, &block) || !block) {
        return E_FAIL;
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

STDMETHODIMP CDataSource::QueryGetData(FORMATETC* format)
{
    if (!format)
        return E_POINTER;
    return Find(*format) ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP CDataSource::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (out)
        out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP CDataSource::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    // Each format once, whatever indexes it is offered for.
    std::vector<FORMATETC> formats;
    for (const Entry& e : m_entries) {
        bool seen = false;
        for (const FORMATETC& f : formats)
            seen = seen || f.cfFormat == e.format.cfFormat;
        if (!seen)
            formats.push_back(FORMATETC{e.format.cfFormat, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
    }
    *out = new CFormatEnum(std::move(formats));
    return S_OK;
}

bool CDataSource::OnRenderGlobalData(const FORMATETC&, HGLOBAL*)
{
    return false;
}

HRESULT CDataSource::DoDragDrop(DWORD allowedEffects, DWORD* effect)
{
    DWORD done = DROPEFFECT_NONE;
    IDropSource* source = new CDropSource;
    HRESULT hr = ::DoDragDrop(this, source, allowedEffects, &done);
    source->Release();
    if (effect)
        *effect = done;
    return hr;
}

}  // namespace mbcom
