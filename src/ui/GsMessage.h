// The record that the dialog procedure hands to every handler, one per delivery.
#pragma once
#include <windows.h>
#include <cstdint>

class CGsDialog;

struct CGsMessage {
    CGsDialog* dialog;
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int32_t result;  // returned to the platform when the handler reports the message handled
};
