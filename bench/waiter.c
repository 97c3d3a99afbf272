// Copied as quorvi.exe for the quench figure: counts itself in by the
// benchmark's semaphore, then waits to be ended (exit code 7 after ten
// minutes, should nobody end it). No C runtime.
#include <windows.h>

void WaiterEntry(void)
{
    HANDLE started = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, "quorvi_bench_waiters");
    if (started) {
        ReleaseSemaphore(started, 1, NULL);
        CloseHandle(started);
    }
    Sleep(600000);
    ExitProcess(7);
}
