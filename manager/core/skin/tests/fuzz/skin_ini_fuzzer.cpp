// Any text as SKIN.INI: every read and every layout step either succeeds or
// reports failure; nothing crashes, overflows or divides by zero.
#include <cstddef>
#include <cstdint>
#include <string>

#include "SkinIni.h"
#include "SkinLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CSkinIni ini(std::string(reinterpret_cast<const char*>(data), size));
    int x, y, cx, cy;
    std::string str;
    for (const char* section : {"WINDOW", "BANNER", "EXP_RATIO", "ABOUT", "[", ""})
        ini.ReadValues(section, &x, &y, &cx, &cy, &str);

    skin::LayoutInput in;
    in.first = true;
    for (int size : {0, 1, 640, 32767}) {
        in.width = size;
        in.height = size / 2;
        in.comboHeight = 22;
        skin::LayoutResult out;
        if (skin::ComputeAll(ini, in, out) && (out.bannerFrames < 1 || out.bannerFrames > 26))
            __builtin_trap();
    }
    return 0;
}
