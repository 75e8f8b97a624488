// Control ids of the fixture dialog, shared by fixture.cpp and fixture.rc.
#pragma once

#define IDD_FIXTURE      100
#define IDC_PROMPT       101  // static text
#define IDC_NAME         102  // edit; Apply is enabled while it holds text
#define IDC_APPLY        103  // starts disabled
#define IDC_STATUS       104  // static text the dialog rewrites on each change

// Exit codes: which way the dialog ended.
#define EXIT_OK          10
#define EXIT_CANCEL      20
#define EXIT_APPLY       30
#define EXIT_USAGE       2
