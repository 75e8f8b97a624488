// The dialog engine: the dialog table, the templates, ShowDialog and the
// operations every dialog procedure shares.
#pragma once
#include <windows.h>
#include "ui/dialog_help.h"

// One row per dialog of the table, in ascending order of id. Only Template
// changes at run time: LoadDialogTemplates fills it, FreeDialogTemplates
// empties it.
struct DialogRow {
    unsigned short DialogId;  // the RT_DIALOG resource id of the template
    unsigned HelpContext;     // help topic; also selects the message-fill rule
    DLGPROC Procedure;
    HGLOBAL Template;
};

extern DialogRow DialogTable[];
extern const unsigned DialogTableSize;


// 0 when the template of every row is loaded (then icon 3000 too), 1 at the
// first failure.
int LoadDialogTemplates();
// Releases the loaded templates and DialogIcon; safe when nothing is loaded.
void FreeDialogTemplates();

// Shows dialog `id` modally; 1 for the button with id 1, 0 for the button
// with id 2, Escape or the close box, and 0 for an id without a row or a
// dialog that the system cannot create. 2301 and 2302 show template 2300 with
// their own help topic. CurrentHelpContext is the dialog's topic while it is
// open and is restored when it closes.
int ShowDialog(unsigned short id, HWND owner);

// Help button and F1: the help file at CurrentHelpContext. Nothing while that
// is NoHelpContext.
void ShowContextHelp();
// View buttons: the help file at the readme topic, under the same condition.
void ShowReadmeTopic();
// Opens the help at topic `context`: the help file in the help viewer, or on
// Windows 6.0 and later, which have no viewer, the topic's text in dialog
// 2900 when the installer carries it (the viewer otherwise), formatted and
// with its jumps as links where a RichEdit control loads.
void OpenHelpTopic(unsigned context);

// The initialisation that every dialog procedure runs once its texts are
// set: the title becomes the script's Caption, the dialog is centred across
// the screen (a dialog without owner a quarter of the free height from the
// top, one with an owner at the height its template gives it), and system
// icons that the static control left empty are filled in.
void PrepareDialogWindow(HWND dialog);

// Raises `window` to the top of the ordinary z-order.
void BringToFront(HWND window);

// The completion dialog stays in front of the group window that the shell
// opens on its own schedule: KeepInFront when the dialog is initialised,
// and every message through KeepInFrontMessage, which returns 1 for a
// message of its own (the procedure then reports it handled).
void KeepInFront(HWND dialog);
int KeepInFrontMessage(HWND dialog, UINT message, WPARAM wParam);

// Sizes dialog 1550 to the fonts bitmap and stacks its buttons beside it.
void LayoutFontsDialog(HWND dialog);

// Procedures of the table. MessageDialogProc completes control 1001 of a
// message dialog from the installer state, by the rule that
// CurrentHelpContext selects.
INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The directory dialogs 1700, 1800, 2400 and 2401.
INT_PTR CALLBACK DirectoryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The completion dialogs 2202 and 2203.
INT_PTR CALLBACK CompletionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
