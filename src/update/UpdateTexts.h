// The update's fixed names and texts (code page 932 once compiled).
#pragma once

extern const char kGameTitle[];        // "Quillamet"
extern const char kSourceSubfolder[];  // "ZUNA", beside the program
extern const char* const kUpdateFiles[3];
constexpr int kUpdateFileCount = 3;
constexpr int kUpdateExtBit = 2;       // "Ext" bit value of this update
constexpr int kProgressRange = 1024;
// Every archive starts with a header of this many bytes: a shorter source is no archive.
constexpr int kArchiveHeaderSize = 72;

extern const char kInstallPathTooLong[];  // caption "Info", MB_ICONWARNING
