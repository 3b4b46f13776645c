#pragma once

namespace kaldor {

// A base for what owns a handle, a thread or a place in the system: neither copied nor moved
// unless the class itself says how.
class NonCopyable {
public:
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;

protected:
    NonCopyable() = default;
    ~NonCopyable() = default;
};

} // namespace kaldor
