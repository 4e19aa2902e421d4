#include "qv/QvLanguage.h"

uint16_t QvChooseUiLanguage(uint16_t userLangId)
{
    switch (userLangId & 0x3FF) {
    case 0x04: case 0x07: case 0x09: case 0x0A: case 0x0C: case 0x11: case 0x12:
        return userLangId;
    default:
        return 0x0009;
    }
}

std::u16string QvLanguageLibrary(uint16_t langId)
{
    switch (langId & 0x3FF) {
    case 0x04: return (langId >> 10) == 1 ? u"qvrx0404.dll" : u"qvrx0804.dll";
    case 0x07: return u"qvrx0407.dll";
    case 0x0A: return u"qvrx040a.dll";
    case 0x0C: return u"qvrx040c.dll";
    case 0x11: return u"qvrx0411.dll";
    case 0x12: return u"qvrx0412.dll";
    default: return u"qvrx0409.dll";
    }
}
