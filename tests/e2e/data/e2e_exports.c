/* The end-to-end tests' DLL: a handful of named exports in an order the name table re-sorts, one
   name longer than 511 bytes, and one export by ordinal only. e2e_exports.def.in names them. */
#include <windows.h>

int __cdecl E2eOne(void) { return 1; }
int __cdecl E2eTwo(void) { return 2; }
int __cdecl E2eThree(void) { return 3; }
int __cdecl E2eFour(void) { return 4; }
int __cdecl E2eFive(void) { return 5; }
int E2eData = 6;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
