#pragma once
#ifdef _WIN32
#include <string>

#include "link/NonCopyable.h"
#include "link/WindowsApi.h"

namespace kaldor {

// A named system mutex that marks the one running console.
class NamedMutex : NonCopyable {
public:
    explicit NamedMutex(std::string name) : name_(std::move(name)) {}
    ~NamedMutex() { Release(); }

    // OpenMutexA, then CreateMutexA initially owned. False when another owner holds the name.
    // True also when the system refused to make the mutex at all (then nobody is kept out and
    // Holds() is false), so that the console still runs.
    bool Acquire();
    // ReleaseMutex and close, on the thread that acquired it; nothing when not held.
    void Release();
    bool Holds() const { return handle_ != nullptr; }

private:
    std::string name_;
    HANDLE handle_ = nullptr;
};

} // namespace kaldor
#endif
