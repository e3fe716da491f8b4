// exitprobe: returns from main while another thread is still ending, inside the destructor of
// its thread-specific value (which the thread library calls holding its key lock), as a pool's
// worker may be when Plume ends. The process must end all the same.
#include "platform/base/ProcessEnd.h"

#include <pthread.h>
#include <windows.h>

#include <thread>

namespace {

HANDLE g_ending = CreateEventW(nullptr, TRUE, FALSE, nullptr);

// A thread-local object with a destructor: the C++ runtime keeps a thread key for those,
// which it deletes when its DLL is detached at the process's end.
struct ThreadLocal {
    ~ThreadLocal() { g_touched = nullptr; }
    static inline void* g_touched = nullptr;
};

void lingeringEnd(void*) {
    SetEvent(g_ending);
    Sleep(INFINITE);
}

}  // namespace

int main() {
    thread_local ThreadLocal local;
    ThreadLocal::g_touched = &local;
    pthread_key_t key;
    if (pthread_key_create(&key, &lingeringEnd) != 0) return 2;
    std::thread([key] { pthread_setspecific(key, &g_ending); }).detach();
    WaitForSingleObject(g_ending, INFINITE);
    return plume::endProcess(0);
}
