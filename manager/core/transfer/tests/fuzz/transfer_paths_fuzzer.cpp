// Path rules on arbitrary texts: two paths split at the first NUL byte.
#include <cstddef>
#include <cstdint>
#include <string>

#include "TransferPaths.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\0');
    const std::string a = input.substr(0, cut);
    const std::string b = cut == std::string::npos ? std::string() : input.substr(cut + 1);

    const std::string joined = CTransferPaths::Join(a, b);
    if (!a.empty() && joined.size() < a.size())
        __builtin_trap();
    const std::string name = CTransferPaths::NameOf(a);
    const std::string folder = CTransferPaths::FolderOf(a);
    if (name.size() > a.size() || folder.size() > a.size())
        __builtin_trap();
    CTransferPaths::ExtensionOf(a);
    CTransferPaths::RootOf(a);
    // A path is always inside itself; a joined child inside its folder.
    if (!a.empty() && a.find_first_not_of("\\/") != std::string::npos && !CTransferPaths::IsSameOrInside(a, a))
        __builtin_trap();
    CTransferPaths::IsSameOrInside(a, b);
    CTransferPaths::SamePath(a, b);
    CTransferPaths::ScratchNameFor(a, static_cast<unsigned>(size));
    return 0;
}
