#include "SafeName.h"

#include "base/GsPath.h"

#include <algorithm>
#include <cstring>

namespace {
// Windows opens a device for these names, whatever extension follows.
bool IsDevice(std::string part)
{
    part.erase(std::min(part.find('.'), part.size()));
    part.erase(part.find_last_not_of(' ') + 1);
    GsFoldCase(&part[0], part.size(), true);
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
        if (part == device)
            return true;
    return part.size() == 4 && (part.compare(0, 3, "COM") == 0 || part.compare(0, 3, "LPT") == 0) && part[3] >= '1' &&
           part[3] <= '9';
}
}  // namespace

std::string UnsafeName(const std::string& name, std::vector<std::string>& parts)
{
    parts.assign(1, "");
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        // A lead byte pairs only with a valid second byte; alone it would swallow what follows
        // (a separator) on one system and be dropped on another.
        if (GsIsLeadByte(c)) {
            if (i + 1 == name.size() || !GsIsTrailByte(static_cast<unsigned char>(name[i + 1])))
                return "a lead byte without a valid second byte";
            parts.back() += name.substr(i++, 2);
        } else if (c == '\\' || c == '/') {
            if (parts.back().empty())
                return i == 0 ? "a leading separator" : "an empty part";
            parts.emplace_back();
        } else if (c == ':') {
            return "a drive or stream (':')";
        } else if (c < 0x20) {
            return "a control character";
        } else if (c == 0x80 || c == 0xA0 || c >= 0xFD || std::strchr("<>\"|?*", c) != nullptr) {
            return "a character Windows names cannot hold";
        } else {
            parts.back() += name[i];
        }
    }
    for (const std::string& part : parts) {
        if (part.find_first_not_of(". ") == std::string::npos)
            return part.empty() ? "an empty part" : "a '" + part + "' part";
        // Windows drops a trailing dot or space: the file would land under another name.
        if (part.back() == '.' || part.back() == ' ')
            return "a part ending in a dot or space";
        if (IsDevice(part))
            return "a device name";
    }
    return "";
}
