// gspak pak ...: the update-archive commands.
#pragma once
#include <string>
#include <vector>

// Exit codes shared with the codec commands (0, 1, 2, 3 there).
enum PakExit {
    kPakOk = 0,
    kPakFailed = 1,         // a file could not be opened, read, created or written
    kPakUsage = 2,          // bad arguments
    kPakDamaged = 4,        // an archive failed its checks; nothing written
    kPakMergeFailed = 5,    // the merge failed; the target is byte for byte as before, up to its end
    kPakNotUpdatable = 6,   // the target lacks the --require bit; nothing written
    kPakNoEntry = 7,        // extract: no live entry of that name
    kPakRestoreFailed = 8,  // the merge failed and the target could not be cut back
    kPakSkipped = 9,        // extract --all: entries refused or kept; the others written
    kPakNotNewer = 10,      // diff: an entry changed, but a merge would not take it; nothing written
};

// Exit 2 with a message when OUT names the same file as one of the inputs (a link or another
// spelling included); 0 otherwise. Called before anything is opened for writing.
int RefuseOutputOverInput(const std::string& out, const std::vector<std::string>& inputs);

// args: the words after "pak".
int RunPak(const std::vector<std::string>& args);
