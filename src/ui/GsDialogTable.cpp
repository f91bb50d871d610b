#include "ui/GsDialogTable.h"

#include "ui/GsDialog.h"

bool g_dialogTableAlive = false;
CGsDialogTable g_dialogTable;

CGsDialogTable::CGsDialogTable() { g_dialogTableAlive = true; }

CGsDialogTable::~CGsDialogTable()
{
    g_dialogTableAlive = false;
    delete[] m_entries;
    m_entries = nullptr;
    m_count = 0;
    m_current = 0;
}

void CGsDialogTable::Register(CGsDialog* dialog)
{
    for (int i = 0; i < m_count; ++i) {
        if (m_entries[i] == dialog)
            return;
    }
    for (int i = 0; i < m_count; ++i) {
        if (m_entries[i] == nullptr) {
            m_entries[i] = dialog;
            m_current = i;
            return;
        }
    }
    CGsDialog** grown = new CGsDialog*[m_count + 1];
    for (int i = 0; i < m_count; ++i)
        grown[i] = m_entries[i];
    grown[m_count] = dialog;
    delete[] m_entries;
    m_entries = grown;
    m_current = m_count;
    ++m_count;
}

void CGsDialogTable::Remove(CGsDialog* dialog)
{
    for (int i = 0; i < m_count; ++i) {
        if (m_entries[i] == dialog)
            m_entries[i] = nullptr;
    }
}

CGsDialog* CGsDialogTable::FindByWindow(HWND hwnd) const
{
    if (hwnd == nullptr || m_entries == nullptr)
        return nullptr;
    for (int i = 0; i < m_count; ++i) {
        if (m_entries[i] != nullptr && m_entries[i]->GetHwnd() == hwnd)
            return m_entries[i];
    }
    return nullptr;
}

CGsDialog* CGsDialogTable::Current() const
{
    if (m_entries == nullptr || m_current < 0 || m_current >= m_count)
        return nullptr;
    return m_entries[m_current];
}
