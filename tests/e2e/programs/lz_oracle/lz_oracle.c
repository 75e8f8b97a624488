/* lz_oracle copy IN OUT [IN OUT ...]
 * lz_oracle read CHUNK IN OUT [IN OUT ...]
 *
 * Expands each IN to OUT through the system's LZ library: LZOpenFile, then
 * LZCopy ("copy") or LZRead of CHUNK bytes at a time until it returns 0
 * ("read"). Prints one line per failure; exit code 0 when every file was
 * expanded, 1 otherwise, 2 on a usage error. */
#include <windows.h>
#include <lzexpand.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int ExpandByCopy(const char* in, const char* out)
{
    OFSTRUCT ofIn, ofOut;
    INT source = LZOpenFileA((LPSTR)in, &ofIn, OF_READ);
    if (source < 0) {
        printf("%s: LZOpenFile failed (%d)\n", in, source);
        return 0;
    }
    INT destination = LZOpenFileA((LPSTR)out, &ofOut, OF_CREATE);
    if (destination < 0) {
        printf("%s: cannot create (%d)\n", out, destination);
        LZClose(source);
        return 0;
    }
    LONG copied = LZCopy(source, destination);
    LZClose(source);
    LZClose(destination);
    if (copied < 0) {
        printf("%s: LZCopy failed (%ld)\n", in, (long)copied);
        return 0;
    }
    return 1;
}

static int ExpandByRead(const char* in, const char* out, int chunk)
{
    OFSTRUCT ofIn;
    INT source = LZOpenFileA((LPSTR)in, &ofIn, OF_READ);
    if (source < 0) {
        printf("%s: LZOpenFile failed (%d)\n", in, source);
        return 0;
    }
    FILE* f = fopen(out, "wb");
    if (!f) {
        printf("%s: cannot create\n", out);
        LZClose(source);
        return 0;
    }
    char* buffer = (char*)malloc((size_t)chunk);
    int ok = buffer != NULL;
    while (ok) {
        INT n = LZRead(source, buffer, chunk);
        if (n < 0) {
            printf("%s: LZRead failed (%d)\n", in, n);
            ok = 0;
        } else if (n == 0) {
            break;
        } else if (fwrite(buffer, 1, (size_t)n, f) != (size_t)n) {
            printf("%s: write failed\n", out);
            ok = 0;
        }
    }
    free(buffer);
    if (fclose(f) != 0) ok = 0;
    LZClose(source);
    return ok;
}

int main(int argc, char** argv)
{
    int copy = argc >= 2 && !strcmp(argv[1], "copy");
    int read = argc >= 2 && !strcmp(argv[1], "read");
    int first = copy ? 2 : 3;
    int chunk = read && argc >= 3 ? atoi(argv[2]) : 0;
    if ((!copy && !read) || (read && chunk <= 0) || argc <= first || (argc - first) % 2) {
        fprintf(stderr, "usage: lz_oracle copy IN OUT [IN OUT ...]\n"
                        "       lz_oracle read CHUNK IN OUT [IN OUT ...]\n");
        return 2;
    }
    int failures = 0;
    for (int i = first; i < argc; i += 2)
        if (!(copy ? ExpandByCopy(argv[i], argv[i + 1]) : ExpandByRead(argv[i], argv[i + 1], chunk)))
            ++failures;
    return failures ? 1 : 0;
}
