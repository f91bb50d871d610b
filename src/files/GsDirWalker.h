// CGsDirWalker: hands out the files of a folder, or of a folder and every folder below it
// (depth first), one call at a time. Folders are only descended into, never handed out.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "base/GsInterface.h"
#include "base/ScopedWin.h"

class CGsDirWalker : public IGsInterface {
public:
    CGsDirWalker();
    ~CGsDirWalker() override;
    CGsDirWalker(const CGsDirWalker&) = delete;
    CGsDirWalker& operator=(const CGsDirWalker&) = delete;

    // Stores the folder to search; one trailing backslash (a real one, not the second byte of
    // a double-byte character) is removed.
    virtual void SetFolder(const char* folder);
    // Patterns of the search folder\name.ext; both "*" by default. They govern the subfolders
    // a deep search descends into as well as the files.
    virtual void SetExtPattern(const char* ext);
    virtual void SetNamePattern(const char* name);
    // Next file of the folder itself: 1 with its name and folder\name, 0 at the end. After 0
    // the next call starts again from the first file.
    virtual int NextFile(std::string& name, std::string& path);
    // NextFile into 260-byte buffers (MAX_PATH); `path` may be null. An entry whose name or
    // path does not fit is skipped, so nothing is written past 260 bytes.
    virtual int NextFileBuf(char* name, char* path);
    // Next file of the folder or of any folder below it: name, the folder it lies in (no
    // trailing backslash) and folder\name. A folder reached again through a link back to one
    // of the folders being walked is not descended into.
    virtual int NextFileDeep(std::string& name, std::string& folder, std::string& path);
    // NextFileDeep into 260-byte buffers; `path` may be null; entries that do not fit are skipped.
    virtual int NextFileDeepBuf(char* name, char* folder, char* path);
    // Both end the search, a deep one included: the next call starts from the first file.
    virtual void Reset();
    virtual void Close();

private:
    struct FolderId {
        DWORD volume = 0;
        DWORD indexHigh = 0;
        DWORD indexLow = 0;
        bool valid = false;
    };

    int OpenSearch();
    int FetchNext();
    bool IsOnAncestorChain(const FolderId& id) const;
    static FolderId IdentifyFolder(const std::string& folder);

    WIN32_FIND_DATAA m_entry;
    ScopedFind m_search;
    int m_started = 0;
    std::string m_folder;
    std::string m_extPattern = "*";
    std::string m_namePattern = "*";
    std::unique_ptr<CGsDirWalker> m_child;
    int m_descending = 0;
    // Cycle guard: the walker that made this one (not owned) and this folder's identity.
    const CGsDirWalker* m_parent = nullptr;
    FolderId m_id;
};
