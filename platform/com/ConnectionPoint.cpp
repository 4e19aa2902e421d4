#include "ConnectionPoint.h"

#include <olectl.h>

#include <new>

namespace mbcom {

CConnectionPoint::~CConnectionPoint()
{
    for (auto& s : m_sinks)
        s.second->Release();
}

HRESULT CConnectionPoint::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT CConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (!iid)
        return E_POINTER;
    *iid = m_iid;
    return S_OK;
}

HRESULT CConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out)
{
    if (!out)
        return E_POINTER;
    *out = m_container;
    m_container->AddRef();
    return S_OK;
}

HRESULT CConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = 0;
    IDispatch* disp = nullptr;
    if (FAILED(sink->QueryInterface(m_iid, reinterpret_cast<void**>(&disp))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp))))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = m_nextCookie++;
    m_sinks.emplace_back(*cookie, disp);
    return S_OK;
}

HRESULT CConnectionPoint::Unadvise(DWORD cookie)
{
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
        if (it->first == cookie) {
            IDispatch* disp = it->second;
            m_sinks.erase(it);
            disp->Release();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT CConnectionPoint::EnumConnections(IEnumConnections** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

namespace {

class CEnumPoints final : public IEnumConnectionPoints {
public:
    CEnumPoints(std::vector<IConnectionPoint*> points, size_t at) : m_points(std::move(points)), m_at(at)
    {
        for (IConnectionPoint* p : m_points)
            p->AddRef();
    }
    ~CEnumPoints()
    {
        for (IConnectionPoint* p : m_points)
            p->Release();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumConnectionPoints)) {
            *out = static_cast<IEnumConnectionPoints*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_refs); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return refs;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override
    {
        if (!points || (count > 1 && !fetched))
            return E_POINTER;
        ULONG got = 0;
        while (got < count && m_at < m_points.size()) {
            points[got] = m_points[m_at++];
            points[got]->AddRef();
            ++got;
        }
        if (fetched)
            *fetched = got;
        return got == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        const size_t left = m_points.size() - m_at;
        m_at += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_at = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override
    {
        if (!out)
            return E_POINTER;
        *out = new (std::nothrow) CEnumPoints(m_points, m_at);
        if (!*out)
            return E_OUTOFMEMORY;
        (*out)->AddRef();
        return S_OK;
    }

private:
    volatile LONG m_refs = 0;
    std::vector<IConnectionPoint*> m_points;
    size_t m_at;
};

}  // namespace

HRESULT CreateConnectionPointEnumerator(IConnectionPoint* const* points, size_t count, IEnumConnectionPoints** out)
{
    if (!out)
        return E_POINTER;
    *out = new (std::nothrow) CEnumPoints(std::vector<IConnectionPoint*>(points, points + count), 0);
    if (!*out)
        return E_OUTOFMEMORY;
    (*out)->AddRef();
    return S_OK;
}

void CConnectionPoint::FireLong(DISPID id, LONG value)
{
    // A sink may unadvise while it is called: call a held copy of the list.
    std::vector<IDispatch*> sinks;
    for (auto& s : m_sinks) {
        s.second->AddRef();
        sinks.push_back(s.second);
    }
    for (IDispatch* disp : sinks) {
        VARIANT arg;
        VariantInit(&arg);
        arg.vt = VT_I4;
        arg.lVal = value;
        DISPPARAMS params{&arg, nullptr, 1, 0};
        disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        disp->Release();
    }
}

}  // namespace mbcom
