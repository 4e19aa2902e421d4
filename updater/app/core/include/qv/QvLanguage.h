// The user-interface language of the updater and its language library.
#pragma once
#include <cstdint>
#include <string>

// The user's LANGID when its primary language has a library (Chinese,
// German, English, Spanish, French, Japanese, Korean), else English (0x0009).
uint16_t QvChooseUiLanguage(uint16_t userLangId);
// The library of a LANGID: "qvrx" and four lower-case hexadecimal digits.
std::u16string QvLanguageLibrary(uint16_t langId);
