// The source side of one event interface: sinks advise, the object fires.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <utility>
#include <vector>

namespace mbcom {

// Lives inside its container object and shares its reference count.
class CConnectionPoint : public IConnectionPoint {
public:
    CConnectionPoint(IConnectionPointContainer* container, REFIID iid) : m_container(container), m_iid(iid) {}
    ~CConnectionPoint();
    CConnectionPoint(const CConnectionPoint&) = delete;
    CConnectionPoint& operator=(const CConnectionPoint&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return m_container->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_container->Release(); }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

    REFIID Iid() const { return m_iid; }
    size_t SinkCount() const { return m_sinks.size(); }
    // Calls the method on every sink with one 32-bit integer argument.
    void FireLong(DISPID id, LONG value);

private:
    IConnectionPointContainer* m_container;
    IID m_iid;
    DWORD m_nextCookie = 1;
    std::vector<std::pair<DWORD, IDispatch*>> m_sinks;
};

// An enumerator over a container's connection points, each held for the
// enumerator's life.
HRESULT CreateConnectionPointEnumerator(IConnectionPoint* const* points, size_t count, IEnumConnectionPoints** out);

}  // namespace mbcom
