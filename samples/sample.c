/* The sample DLL: a few named exports, one forwarder and one export by ordinal only; sample.def
   says which, so nothing here is marked for export. */
#include <windows.h>

int __stdcall SampleAdd(int a, int b) { return a + b; }
int __cdecl SampleVersion(void) { return 0x0100; }
const char* __cdecl SampleGreeting(void) { return "你好"; }
int __cdecl SampleHidden(void) { return 42; }
int SampleCounter = 0;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
