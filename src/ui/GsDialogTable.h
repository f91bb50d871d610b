// The process-wide table of live dialogs that ties window handles to dialog objects.
#pragma once
#include <windows.h>

class CGsDialog;

class CGsDialogTable {
public:
    CGsDialogTable();
    ~CGsDialogTable();

    // Stores the dialog in the first free entry, growing the array by one when none is free.
    void Register(CGsDialog* dialog);
    // Clears every entry that holds the dialog.
    void Remove(CGsDialog* dialog);
    CGsDialog* FindByWindow(HWND hwnd) const;
    // The entry of the most recent registration; null once that dialog has left.
    CGsDialog* Current() const;

    int Count() const { return m_count; }
    int CurrentIndex() const { return m_current; }
    CGsDialog* At(int index) const { return m_entries[index]; }

    CGsDialogTable(const CGsDialogTable&) = delete;
    CGsDialogTable& operator=(const CGsDialogTable&) = delete;

private:
    CGsDialog** m_entries = nullptr;  // owned; never shrinks
    int m_count = 0;
    int m_current = 0;
};

extern CGsDialogTable g_dialogTable;
// Set while g_dialogTable is alive; the dialog procedure routes nothing outside that time.
extern bool g_dialogTableAlive;
