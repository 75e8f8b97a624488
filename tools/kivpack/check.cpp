#include <cstdio>
#include "tools/kivpack/commands.h"

int RunCheck(int, char**)
{
    std::fprintf(stderr, "kivpack check: not built yet\n");
    return 1;
}
