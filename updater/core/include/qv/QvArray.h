// Pointer arrays: the entries are full pointers at every build width.
#pragma once
#include "qv/QvBase.h"
#include "qv/QvErrors.h"
#include <algorithm>
#include <cstddef>
#include <new>

class CQvArray : public CQvBase {
public:
    explicit CQvArray(size_t count = 0, std::string name = "CQvArray") : CQvBase(std::move(name))
    {
        if (count)
            CQvArray::Allocate(count);
    }
    ~CQvArray() override { delete[] m_entries; }
    CQvArray(const CQvArray&) = delete;
    CQvArray& operator=(const CQvArray&) = delete;

    virtual size_t Count() const { return m_count; }
    virtual int GetAt(size_t index, void*& out) const
    {
        if (index >= m_count)
            return QV_E_INDEX;
        out = m_entries[index];
        return 0;
    }
    virtual void** ElementAt(size_t index) { return index < m_count ? m_entries + index : nullptr; }
    virtual int SetAt(size_t index, void* value)
    {
        if (index >= m_count)
            return Fail(QV_E_INDEX);
        m_entries[index] = value;
        return 0;
    }
    virtual void Clear() { std::fill(m_entries, m_entries + m_count, nullptr); }
    virtual void Reverse() { std::reverse(m_entries, m_entries + m_count); }
    virtual int Allocate(size_t count)
    {
        Detach();
        if (count == 0)
            return 0;
        m_entries = new (std::nothrow) void*[count];
        if (!m_entries)
            return Fail(QV_E_NOMEM);
        m_count = count;
        Clear();
        return 0;
    }
    virtual void Detach()
    {
        delete[] m_entries;
        m_entries = nullptr;
        m_count = 0;
    }

private:
    void** m_entries = nullptr;
    size_t m_count = 0;
};

// A pointer array that creates its objects and deletes them with itself.
template <class T>
class CQvOwningPtrArray : public CQvArray {
public:
    CQvOwningPtrArray(size_t count, std::string name, const char* elementName) : CQvArray(count, std::move(name))
    {
        if (LastError())
            return;
        for (size_t i = 0; i < count; ++i) {
            T* item = new (std::nothrow) T(elementName);
            if (!item) {
                Fail(QV_E_NOMEM);
                return;
            }
            SetAt(i, item);
        }
    }
    ~CQvOwningPtrArray() override
    {
        for (size_t i = 0; i < Count(); ++i)
            delete At(i);
    }
    T* At(size_t index) const
    {
        void* entry = nullptr;
        return GetAt(index, entry) == 0 ? static_cast<T*>(entry) : nullptr;
    }
};
