// A medium's SHA256SUMS, as sha256sum writes it: one "HEX  NAME" (or "HEX *NAME") a line, the
// names relative to the medium with '/' between folders. Portable.
#pragma once
#include "base/GsSha256.h"

#include <string>
#include <vector>

enum class GsSumError { kNone, kBadLine, kUnknownName, kDuplicate };

class GsSumList {
public:
    // Takes the whole file or nothing. `known` are the names the medium may list; names are
    // compared with either separator and ASCII letters of either case. A line of any other
    // form (sha256sum's escaped names included) is a kBadLine; `line` gets its number.
    GsSumError Parse(const std::string& text, const std::vector<std::string>& known, size_t* line);
    // The listed digest of `name`, or null.
    const GsDigest* Find(const std::string& name) const;

private:
    std::vector<std::pair<std::string, GsDigest>> m_entries;
};
