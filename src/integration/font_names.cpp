#include "integration/font_names.h"
#include "platform/text.h"

int MakeFontResourceName(char* file)
{
    unsigned length = TextLength(file);
    if (length <= 3) return 0;
    char* last = file + length - 3;
    if (!TextEqualNoCase(last, "TTF")) return 0;
    TextCopy(last, 4, "FOT");
    return 1;
}

int PrepareFontRow(FontRowText& row, const char* name, const char* file, const char* fontsDir,
                   int programManagerShell)
{
    TextCopy(row.Name, sizeof row.Name, name);
    TextCopy(row.File, sizeof row.File, file);
    row.TrueType[0] = 0;
    if (programManagerShell && MakeFontResourceName(row.File))
        TextCopy(row.TrueType, sizeof row.TrueType, file);
    row.Path[0] = 0;
    if (TextLength(fontsDir) + TextLength(row.File) >= PathSize) return 0;
    TextCopy(row.Path, sizeof row.Path, fontsDir);
    TextAppend(row.Path, sizeof row.Path, row.File);
    return 1;
}
