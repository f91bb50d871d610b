// The medium's SHA256SUMS beside the program: read and judged before anything is written, so a
// damaged list stops the update while the installation is untouched.
#pragma once
#include "files/GsSumList.h"

#include <windows.h>

#include <string>

enum class MediumSums { kAbsent, kLoaded, kRefused };

// kRefused (a list that cannot be read or is malformed) has been told to the player, naming the
// list and the line. A medium without a list is copied unchecked, as before lists existed.
MediumSums LoadMediumSums(HWND owner, GsSumList* list);
// The name an update archive has in the list: "ZUNA/Voice01.pak".
std::string MediumName(const char* archive);
