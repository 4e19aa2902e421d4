#include "TransferPaths.h"

#include <cstdio>

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Trimmed(const std::string& path)
{
    std::string p = path;
    while (!p.empty() && (p.back() == '\\' || p.back() == '/')) {
        if (p.size() == 3 && p[1] == ':')
            break;
        p.pop_back();
    }
    return p;
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = Lower(a[i]), y = Lower(b[i]);
        if (x == '/')
            x = '\\';
        if (y == '/')
            y = '\\';
        if (x != y)
            return false;
    }
    return true;
}

}  // namespace

std::string CTransferPaths::Join(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    std::string out = folder;
    if (out.back() != '\\' && out.back() != '/')
        out += '\\';
    std::size_t start = 0;
    while (start < name.size() && (name[start] == '\\' || name[start] == '/'))
        ++start;
    return out + name.substr(start);
}

std::string CTransferPaths::NameOf(const std::string& path)
{
    const std::size_t cut = path.find_last_of("\\/");
    if (cut != std::string::npos)
        return path.substr(cut + 1);
    if (path.size() >= 2 && path[1] == ':')
        return path.substr(2);
    return path;
}

std::string CTransferPaths::FolderOf(const std::string& path)
{
    const std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos)
        return std::string();
    if (cut == 2 && path[1] == ':')
        return path.substr(0, 3);
    return path.substr(0, cut);
}

std::string CTransferPaths::ExtensionOf(const std::string& path)
{
    const std::string name = NameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string CTransferPaths::RootOf(const std::string& path)
{
    if (path.size() >= 2 && path[1] == ':' && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        return path.substr(0, 2) + "\\";
    return std::string();
}

bool CTransferPaths::SamePath(const std::string& a, const std::string& b)
{
    return EqualNoCase(Trimmed(a), Trimmed(b));
}

bool CTransferPaths::IsSameOrInside(const std::string& inner, const std::string& folder)
{
    const std::string in = Trimmed(inner);
    std::string outer = Trimmed(folder);
    if (outer.empty())
        return false;
    if (EqualNoCase(in, outer))
        return true;
    if (outer.back() != '\\')
        outer += '\\';
    return in.size() > outer.size() && EqualNoCase(in.substr(0, outer.size()), outer);
}

std::string CTransferPaths::ScratchNameFor(const std::string& folder, unsigned int serial)
{
    // Short on purpose: the scratch copy must fit wherever the real name fits.
    char tag[32];
    std::snprintf(tag, sizeof tag, "~mb%04x.tmp", serial & 0xFFFFu);
    return Join(folder, tag);
}
