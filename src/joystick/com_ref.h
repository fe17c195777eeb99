// A COM interface reference released on every path out of its scope, for code that creates
// DirectInput objects one after another and gives up at the first failure.
#pragma once

template <typename T>
struct ComRef {
    T* p = nullptr;
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p != nullptr) p->Release();
    }
    // Where a creating call puts the interface.
    void** out() { return reinterpret_cast<void**>(&p); }
};
