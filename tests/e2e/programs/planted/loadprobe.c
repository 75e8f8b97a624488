// kivloadprobe.exe NAME...: loads each DLL by its bare name, as a program
// that takes no precautions does, and prints "NAME PATH" with the path of the
// module the system gave it ("NAME -" when the load failed). The control of
// the planting suite: it shows that a DLL planted beside a program is found.
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        HMODULE module = LoadLibraryA(argv[i]);
        char path[MAX_PATH];
        if (module && GetModuleFileNameA(module, path, sizeof path))
            printf("%s %s\n", argv[i], path);
        else
            printf("%s -\n", argv[i]);
    }
    return 0;
}
