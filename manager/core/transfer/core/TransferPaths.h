// Path rules of the transfer engine, free of Windows calls. Paths are ANSI
// texts with "\" between folders; comparisons ignore ASCII case, as the file
// systems of the PC and the player do.
#pragma once

#include <string>

class CTransferPaths {
public:
    // folder and name with exactly one "\" between them.
    static std::string Join(const std::string& folder, const std::string& name);
    // The part after the last "\" (or ":" of a bare drive path).
    static std::string NameOf(const std::string& path);
    // The folder part, without its trailing "\" unless it is a root ("X:\").
    static std::string FolderOf(const std::string& path);
    // The extension without its dot, or empty.
    static std::string ExtensionOf(const std::string& path);
    // The drive root "X:\" of a path, or empty when it has none.
    static std::string RootOf(const std::string& path);
    static bool SamePath(const std::string& a, const std::string& b);
    // True when inner is folder itself or lies anywhere below it: copying a
    // folder there would copy its own copy again, without end.
    static bool IsSameOrInside(const std::string& inner, const std::string& folder);
    // A name in folder for an upload's scratch copy, which replaces the
    // target only once it is complete.
    static std::string ScratchNameFor(const std::string& folder, unsigned int serial);
};
