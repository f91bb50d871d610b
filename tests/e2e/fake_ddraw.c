/* A DirectDraw runtime that refuses to create anything: placed beside update.exe with a
   native-first DLL override, it makes the program see no usable DirectX. */
#include <windows.h>

__declspec(dllexport) HRESULT WINAPI DirectDrawCreate(void* device, void** out, void* outer)
{
    (void)device;
    (void)outer;
    if (out != NULL)
        *out = NULL;
    return E_FAIL;
}
