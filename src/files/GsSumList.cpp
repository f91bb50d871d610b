#include "files/GsSumList.h"

#include <algorithm>

namespace {
std::string Key(std::string name)
{
    for (char& c : name) {
        if (c == '\\')
            c = '/';
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}
}  // namespace

GsSumError GsSumList::Parse(const std::string& text, const std::vector<std::string>& known, size_t* line)
{
    std::vector<std::pair<std::string, GsDigest>> entries;
    size_t start = 0;
    for (*line = 1; start < text.size(); ++*line) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string row = text.substr(start, end - start);
        start = end + 1;
        // A list that went through a Windows text conversion ends its lines in CR LF.
        if (!row.empty() && row.back() == '\r')
            row.pop_back();
        GsDigest digest;
        if (row.size() < 67 || !GsParseDigestHex(row.data(), 64, &digest) || row[64] != ' ' ||
            (row[65] != ' ' && row[65] != '*'))
            return GsSumError::kBadLine;
        const std::string key = Key(row.substr(66));
        if (std::none_of(known.begin(), known.end(), [&](const std::string& k) { return Key(k) == key; }))
            return GsSumError::kUnknownName;
        if (std::any_of(entries.begin(), entries.end(), [&](const auto& e) { return e.first == key; }))
            return GsSumError::kDuplicate;
        entries.emplace_back(key, digest);
    }
    m_entries.swap(entries);
    return GsSumError::kNone;
}

const GsDigest* GsSumList::Find(const std::string& name) const
{
    const std::string key = Key(name);
    for (const auto& entry : m_entries) {
        if (entry.first == key)
            return &entry.second;
    }
    return nullptr;
}
