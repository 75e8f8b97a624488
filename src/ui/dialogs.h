// The dialog engine: the dialog table, the templates, ShowDialog and the
// operations every dialog procedure shares.
#pragma once
#include <windows.h>

// 0 when the template of every row is loaded (then icon 3000 too), 1 at the
// first failure.
int LoadDialogTemplates();
void FreeDialogTemplates();

// Shows dialog `id` modally; 1 for the button with id 1, 0 for the button
// with id 2, Escape or the close box, and 0 for an id without a row.
int ShowDialog(unsigned short id, HWND owner);

void ShowContextHelp();
void ShowReadmeTopic();
void PrepareDialogWindow(HWND dialog);
void BringToFront(HWND window);
