/* mspack_oracle IN OUT [IN OUT ...]
 *
 * Expands each SZDD file IN to OUT with libmspack's SZDD decompressor, an
 * implementation independent of ours and of the system's. Prints one line
 * per failure; exit code 0 when every file was expanded, 1 otherwise, 2 on a
 * usage error. */
#include <mspack.h>
#include <stdio.h>

int main(int argc, char** argv)
{
    if (argc < 3 || (argc - 1) % 2) {
        fprintf(stderr, "usage: mspack_oracle IN OUT [IN OUT ...]\n");
        return 2;
    }
    struct msszdd_decompressor* szdd = mspack_create_szdd_decompressor(NULL);
    if (!szdd) {
        fprintf(stderr, "mspack_oracle: libmspack cannot start\n");
        return 1;
    }
    int failures = 0;
    for (int i = 1; i < argc; i += 2) {
        int error = szdd->decompress(szdd, argv[i], argv[i + 1]);
        if (error != MSPACK_ERR_OK) {
            printf("%s: libmspack error %d\n", argv[i], error);
            ++failures;
        }
    }
    mspack_destroy_szdd_decompressor(szdd);
    return failures ? 1 : 0;
}
