/* Loads lumbrex.dll by its bare name, as VBA's Declare and a program linked
   against the import library do, and says which one Windows' search gave this
   process: "lumbrex.dll x64 in a 64-bit process: PATH, last error 0". The
   machine type comes from the loaded image's own header, and one export is
   called, so a DLL of the wrong bitness or a broken one cannot pass.
   Exit: 0 the process's own bitness, 1 another, 2 not loaded. */
#include <windows.h>
#include <stdio.h>

int main(void)
{
    HMODULE dll = LoadLibraryW(L"lumbrex.dll");
    if (!dll) {
        printf("lumbrex.dll not loaded: error %lu\n", GetLastError());
        return 2;
    }
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)dll;
    const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)((const BYTE *)dll + dos->e_lfanew);
    WORD machine = nt->FileHeader.Machine;
    WORD own = sizeof(void *) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(dll, path, MAX_PATH);
    typedef unsigned int(WINAPI * last_error_fn)(void);
    last_error_fn last_error = (last_error_fn)(void (*)(void))GetProcAddress(dll, "QKGetLastError");
    if (!last_error) {
        printf("lumbrex.dll has no QKGetLastError: %ls\n", path);
        return 1;
    }
    printf("lumbrex.dll %s in a %d-bit process: %ls, last error %u\n",
           machine == IMAGE_FILE_MACHINE_AMD64 ? "x64" : machine == IMAGE_FILE_MACHINE_I386 ? "x86" : "other",
           (int)sizeof(void *) * 8, path, last_error());
    return machine == own ? 0 : 1;
}
