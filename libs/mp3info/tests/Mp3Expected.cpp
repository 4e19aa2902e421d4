#include "Mp3Expected.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// Undoes the \xNN escapes that keep the file ASCII.
std::string Unescape(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x') {
            out.push_back(static_cast<char>(std::strtol(s.substr(i + 2, 2).c_str(), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

} // namespace

const std::string& Mp3Expected::Text(const std::string& key) const
{
    static const std::string none;
    auto it = fields.find(key);
    return it == fields.end() ? none : it->second;
}

long Mp3Expected::Number(const std::string& key) const
{
    return std::strtol(Text(key).c_str(), nullptr, 10);
}

std::vector<Mp3Expected> LoadMp3Expected(const std::string& dataDir)
{
    std::vector<Mp3Expected> all;
    std::ifstream in(dataDir + "/expected.txt", std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        Mp3Expected e;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, '\t')) {
            const auto eq = field.find('=');
            if (eq != std::string::npos)
                e.fields[field.substr(0, eq)] = Unescape(field.substr(eq + 1));
        }
        all.push_back(e);
    }
    return all;
}
