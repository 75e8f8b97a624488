/* The example product: one window that says hello. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command, int show)
{
    MessageBoxA(NULL, "Hello from a CMake project installed by KivInstall.", "Hello", MB_OK | MB_ICONINFORMATION);
    return 0;
}
