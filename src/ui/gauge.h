// The gauge control of the progress dialog (window class KivInstallGauge).
#pragma once
#include <windows.h>

extern const char GaugeWindowClass[];

LRESULT CALLBACK GaugeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Repaints the gauge of the progress dialog at once, without erasing;
// nothing while there is no progress dialog.
void RefreshGauge();
