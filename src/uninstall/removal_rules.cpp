#include "uninstall/removal_rules.h"
#include "platform/text.h"

namespace {

int IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A component is [begin, end): nonempty and not only dots and blanks.
int IsOrdinaryComponent(const char* begin, const char* end)
{
    if (begin == end) return 0;
    for (const char* p = begin; p < end; ++p)
        if (*p != '.' && !IsBlank(*p)) return 1;
    return 0;
}

unsigned Depth(const char* name)
{
    unsigned n = 0;
    for (; *name; ++name)
        if (IsSeparator(*name)) ++n;
    return n;
}

void AddOnce(DirectoryList& list, const char* name, unsigned length, CompareNoCaseRule compare)
{
    if (list.Count >= MaxRemovalDirs || length == 0 || length >= PathSize) return;
    char candidate[PathSize];
    TextCopyCount(candidate, sizeof candidate, name, length);
    for (unsigned i = 0; i < list.Count; ++i)
        if (!compare(list.Names[i], candidate)) return;
    TextCopy(list.Names[list.Count++], PathSize, candidate);
}

}  // namespace

int IsContainedName(const char* name)
{
    if (!name || !name[0] || IsSeparator(name[0])) return 0;
    const char* begin = name;
    for (const char* p = name;; ++p) {
        if (*p == ':') return 0;
        if (*p == 0 || IsSeparator(*p)) {
            if (!IsOrdinaryComponent(begin, p)) return 0;
            if (*p == 0) return 1;
            begin = p + 1;
        }
    }
}

int IsRemovableTarget(const char* target, const char* windowsDir, const char* systemDir,
                      const char* system32Dir, CompareNoCaseRule compare)
{
    const unsigned length = TextLength(target);
    // "C:\" and "\\SERVER\SHARE\" roots alike hold at most one backslash
    // before the last, or none after the drive.
    unsigned separators = 0;
    for (unsigned i = 0; i + 1 < length; ++i)
        if (IsSeparator(target[i])) ++separators;
    const int unc = length > 1 && IsSeparator(target[0]) && IsSeparator(target[1]);
    if (length < 2 || separators < (unc ? 4u : 1u)) return 0;
    return compare(target, windowsDir) && compare(target, systemDir) && compare(target, system32Dir);
}

RecordFate DecideRecordFate(unsigned kind, const char* name)
{
    switch (kind) {
    case DirTarget:
        return IsContainedName(name) ? FateRemove : FatePassOver;
    case DirWindows:
    case DirSystem:
    case DirSystem32:
        return FateKeepShared;
    default:
        return FatePassOver;
    }
}

void AddLeadingDirectories(DirectoryList& list, const char* name, int isDirectory, CompareNoCaseRule compare)
{
    if (!IsContainedName(name)) return;
    const unsigned length = TextLength(name);
    if (isDirectory) AddOnce(list, name, length, compare);
    for (unsigned i = length; i-- > 0;)
        if (IsSeparator(name[i])) AddOnce(list, name, i, compare);
}

void SortDeepestFirst(DirectoryList& list)
{
    // A directory is deeper than every directory that holds it, so an order by
    // depth removes each before its parent. The list is short: insertion sort.
    for (unsigned i = 1; i < list.Count; ++i) {
        char moving[PathSize];
        TextCopy(moving, sizeof moving, list.Names[i]);
        const unsigned depth = Depth(moving);
        unsigned j = i;
        for (; j > 0 && Depth(list.Names[j - 1]) < depth; --j) TextCopy(list.Names[j], PathSize, list.Names[j - 1]);
        TextCopy(list.Names[j], PathSize, moving);
    }
}

unsigned CommandLineArgument(char* argument, const char* commandLine)
{
    const char* p = commandLine;
    while (IsBlank(*p)) ++p;
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p) ++p;
    } else {
        while (*p && !IsBlank(*p)) ++p;
    }
    return UninstallCommandPath(argument, p);
}

void AddKept(KeptList& list, const char* name, CompareNoCaseRule compare)
{
    const unsigned named = list.Count < MaxNamedKept ? list.Count : MaxNamedKept;
    for (unsigned i = 0; i < named; ++i)
        if (!compare(list.Names[i], name)) return;
    if (list.Count < MaxNamedKept) TextCopy(list.Names[list.Count], PathSize, name);
    ++list.Count;
}

void AppendKeptList(char* text, unsigned size, const KeptList& list, const char* singular, const char* plural,
                    const char* more)
{
    if (!list.Count) return;
    TextAppend(text, size, "\n\n");
    TextAppend(text, size, list.Count == 1 ? singular : plural);
    const unsigned named = list.Count < MaxNamedKept ? list.Count : MaxNamedKept;
    for (unsigned i = 0; i < named; ++i) {
        TextAppend(text, size, "\n");
        TextAppend(text, size, list.Names[i]);
    }
    if (list.Count > named) {
        char line[64];
        FormatText(line, sizeof line, more, list.Count - named);
        TextAppend(text, size, "\n");
        TextAppend(text, size, line);
    }
}

int ParseCopyArguments(const char* arguments, unsigned long* event, char* original)
{
    const char* p = arguments;
    while (IsBlank(*p)) ++p;
    unsigned long value = 0;
    unsigned digits = 0;
    for (;; ++p, ++digits) {
        const char c = CharLower(*p);
        const unsigned digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 16;
        if (digit > 15) break;
        if (digits == 8) return 0;
        value = value << 4 | digit;
    }
    if (!digits || !IsBlank(*p) || !UninstallCommandPath(original, p)) return 0;
    *event = value;
    return 1;
}

unsigned AddRenameLine(char* out, unsigned size, const char* text, unsigned length, const char* line)
{
    static const char Header[] = "[rename]";
    // The end of the [rename] header line, or the end of the text.
    unsigned insertAt = length;
    int found = 0;
    for (unsigned start = 0; start < length && !found;) {
        unsigned end = start;
        while (end < length && text[end] != '\n') ++end;
        unsigned a = start, b = end;
        while (a < b && IsBlank(text[a])) ++a;
        while (b > a && (IsBlank(text[b - 1]) || text[b - 1] == '\r')) --b;
        if (b - a == sizeof Header - 1 && TextStartsWithNoCase(text + a, Header, b - a)) {
            found = 1;
            insertAt = end < length ? end + 1 : end;
        }
        start = end + 1;
    }
    const int needBreak = insertAt > 0 && text[insertAt - 1] != '\n';
    const unsigned lineLength = TextLength(line);
    const unsigned added = (needBreak ? 2 : 0) + (found ? 0 : sizeof Header - 1 + 2) + lineLength + 2;
    if (length + added >= size) return 0;
    unsigned n = 0;
    MemoryCopy(out, text, insertAt);
    n = insertAt;
    if (needBreak) out[n++] = '\r', out[n++] = '\n';
    if (!found) {
        MemoryCopy(out + n, Header, sizeof Header - 1);
        n += sizeof Header - 1;
        out[n++] = '\r', out[n++] = '\n';
    }
    MemoryCopy(out + n, line, lineLength);
    n += lineLength;
    out[n++] = '\r', out[n++] = '\n';
    MemoryCopy(out + n, text + insertAt, length - insertAt);
    n += length - insertAt;
    out[n] = 0;
    return n;
}
