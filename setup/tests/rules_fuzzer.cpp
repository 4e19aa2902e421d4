// Folder paths, key names and hardware-id lists come from the registry and
// from installers: any bytes.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "SweepRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    devsweep::SplitMultiSz(text, size);
    std::string s(text, size);
    bool removable = devsweep::IsRemovableFolder(s, {"C:\\WINDOWS", "C:\\WINDOWS\\system32", "C:\\Program Files"});
    // Whatever the rule lets through is a drive path two levels deep.
    if (removable && (s.size() < 6 || s[1] != ':' || s[2] != '\\'))
        __builtin_trap();
    devsweep::IsDriverKeyName(s);
    devsweep::IsRemovableClassName(s);
    devsweep::IsRemovableClassGuid(s);
    std::string joined;
    if (devsweep::JoinKey(joined, {"SOFTWARE", s}) && joined.size() >= devsweep::MAX_PATH_CHARS)
        __builtin_trap();
    devsweep::PadName11(s);
    devsweep::TrimTrailingBlanks(s);
    return 0;
}
