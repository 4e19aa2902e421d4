// An owning interface pointer: one reference, released on scope exit.
#pragma once

#include <unknwn.h>

#include <cassert>

#include <memory>
#include <utility>

namespace mbcom {

template <class T>
class CPtr {
public:
    CPtr() = default;
    CPtr(T* p) : m_p(p) { if (m_p) m_p->AddRef(); }
    CPtr(const CPtr& o) : CPtr(o.m_p) {}
    CPtr(CPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ~CPtr() { Release(); }
    CPtr& operator=(const CPtr& o)
    {
        if (o.m_p)
            o.m_p->AddRef();
        Release();
        m_p = o.m_p;
        return *this;
    }
    CPtr& operator=(CPtr&& o) noexcept
    {
        if (this != std::addressof(o)) {
            Release();
            m_p = std::exchange(o.m_p, nullptr);
        }
        return *this;
    }
    void Release()
    {
        if (m_p)
            std::exchange(m_p, nullptr)->Release();
    }
    // Takes over a reference the caller already owns.
    void Attach(T* p)
    {
        Release();
        m_p = p;
    }
    T* Detach() { return std::exchange(m_p, nullptr); }
    // For an out-parameter, which the callee fills without releasing what
    // was there: the pointer must be empty. One that still holds a reference
    // is the caller's mistake, asserted, and never released here behind the
    // caller's back; call Release() first.
    T** operator&()
    {
        assert(!m_p && "CPtr::operator& on a pointer that holds a reference");
        return &m_p;
    }
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    operator T*() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Pass &other with other empty.
    template <class Q>
    HRESULT As(Q** out) const
    {
        if (!m_p)
            return E_POINTER;
        return m_p->QueryInterface(__uuidof(Q), reinterpret_cast<void**>(out));
    }

private:
    T* m_p = nullptr;
};

}  // namespace mbcom
