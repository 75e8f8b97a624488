// suspend / resume: stopping a program between two of its own steps, so
// that a screenshot shows a state that lasts only milliseconds (the
// progress dialog of a small installation).
#include "driver.h"

#include <stdio.h>
#include <tlhelp32.h>

// Suspends or resumes every thread of process `pid`; the number of threads
// reached, or -1 when the process has none that could be opened.
static int ForEachThread(DWORD pid, bool suspend) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        DWORD r = suspend ? SuspendThread(thread) : ResumeThread(thread);
        if (r != (DWORD)-1) count++;
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return count ? count : -1;
}

int SuspendOrResume(const Step& step, bool suspend) {
    if (step.pid == 0) {
        fprintf(stderr, "kivdriver: %s: give --pid P\n", step.command.c_str());
        return ExitUsage;
    }
    int threads = ForEachThread(step.pid, suspend);
    if (threads < 0) return Fail(step, "no thread of process " + std::to_string(step.pid));
    printf("%s pid %lu threads %d\n", suspend ? "suspended" : "resumed", (unsigned long)step.pid, threads);
    return ExitOk;
}
