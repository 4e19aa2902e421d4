// Small text helpers of the updater's user texts: the "%s" filling of the
// language libraries' format strings and the case folding of the options.
#pragma once
#include <string>
#include <vector>

// Replaces each "%s" by the next argument in turn and "%%" by "%"; a "%s"
// without an argument left becomes empty, and any other "%" sequence is kept
// as written. The format comes from a language library: nothing in it can
// read beyond the arguments given.
std::u16string QvFormatText(const std::u16string& format, const std::vector<std::u16string>& args);
// Lower case for ASCII and the Latin-1 letters; other characters unchanged.
std::u16string QvLower(const std::u16string& text);
