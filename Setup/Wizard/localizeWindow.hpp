#pragma once

#include <string>

#include <windows.h>

// Expands the window's text ("$KEY" references and "%0" as productName) and
// sets it when something changed; then does the same for every child window,
// recursively, in the system's child order.
void LocalizeWindow(HWND window, const std::wstring &productName);
