// CSkinIni: the text of SKIN.INI, read whole and searched for its values.
//
// A section is a bracketed name; its values are "key=number;" pairs that
// follow it. Keys are found in order (x, then y after x's value, cx after y's,
// cy after cx's, str after the last key found), each search stopping at the
// next "[" so that a key missing from its section is never taken from the
// next one. A key matches only as a whole word ("x" is not the x of "cx").
// Windows-free: the manager's skin steps and the native tests share it.
#pragma once

#include <cstdint>
#include <string>

class CSkinIni {
public:
    // Values are kept within this magnitude: a skin needs no more, and every
    // product of the layout then fits an int64 with room to spare.
    static constexpr long VALUE_LIMIT = 1000000;

    CSkinIni() = default;
    explicit CSkinIni(std::string text) : m_text(std::move(text)), m_loaded(true) {}

    void SetText(std::string text)
    {
        m_text = std::move(text);
        m_loaded = true;
    }
    void Clear()
    {
        m_text.clear();
        m_loaded = false;
    }
    bool IsLoaded() const { return m_loaded; }
    const std::string& Text() const { return m_text; }

    // Fills the requested values (null pointers are skipped). False when no
    // text is loaded, the section is missing, or a requested key is missing
    // from its section or holds no number; the outputs are then unspecified.
    bool ReadValues(const std::string& section, int* x, int* y, int* cx, int* cy, std::string* str = nullptr) const;

private:
    std::string m_text;
    bool m_loaded = false;
};
