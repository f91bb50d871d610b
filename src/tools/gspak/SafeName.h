// The extract jail's name rules: which archive names may be written below a folder. A name
// must stay below it, and name the same file, on every system the archive may be unpacked on.
#pragma once
#include <string>
#include <vector>

// Why name (code page 932, bytes as stored) may not be written ("" when it may), and its parts
// between separators.
std::string UnsafeName(const std::string& name, std::vector<std::string>& parts);
