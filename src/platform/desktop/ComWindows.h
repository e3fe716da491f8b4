#pragma once

// COM as the Windows shell pieces of Plume use it: initialised on the calling thread for the
// length of one operation, and interface pointers released when they go out of scope.

#include <objbase.h>

namespace plume {

class ComScope {
  public:
    ComScope() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    // A thread that already has COM in the other mode serves as well.
    bool ready() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }

  private:
    HRESULT m_result;
};

template <typename Interface>
class ComPointer {
  public:
    ComPointer() = default;
    ~ComPointer() {
        if (m_p) m_p->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    Interface* operator->() const { return m_p; }
    Interface* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void** out() { return reinterpret_cast<void**>(&m_p); }

  private:
    Interface* m_p = nullptr;
};

}  // namespace plume
