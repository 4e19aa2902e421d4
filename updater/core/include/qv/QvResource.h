// The language resource interface: the single source of user texts.
#pragma once
#include "qv/QvBase.h"
#include <string>

class CQvResource : public CQvBase {
public:
    using CQvBase::CQvBase;
    // 0, or -63 when the code has no text of its own (the text is then the
    // generic one).
    virtual int StatusText(uint16_t code, std::u16string& text, int useCurrent) = 0;
    // 0, or -28 when the string cannot be loaded.
    virtual int String(int id, std::u16string& text) = 0;
};
