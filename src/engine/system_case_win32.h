// The installer's case rules: the system's comparison and lower-casing, which
// know the letters of the ANSI code page, in the form that the closing-step
// computations of the portable core take.
#pragma once

// lstrcmpiA: 0 when equal without regard to case.
int SystemCompareNoCase(const char* a, const char* b);
// CharLowerBuffA over the text's length.
void SystemLowerCase(char* text);
