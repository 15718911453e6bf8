#include "tests/reports/viewer/NativeDialogs.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

BOOL CALLBACK CancelIfDialog(HWND window, LPARAM count) {
    wchar_t name[16] = {};
    // "#32770" is the window class of every system dialog.
    if (::IsWindowVisible(window) && ::GetClassNameW(window, name, 16) > 0 &&
        lstrcmpW(name, L"#32770") == 0) {
        ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        ++*reinterpret_cast<int*>(count);
    }
    return TRUE;
}

} // namespace

int CancelNativeDialogs() {
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CancelIfDialog, reinterpret_cast<LPARAM>(&count));
    return count;
}
