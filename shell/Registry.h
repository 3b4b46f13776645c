#pragma once
#ifdef _WIN32
#include <cstdint>
#include <optional>
#include <string>

#include "link/NonCopyable.h"
#include "link/WindowsApi.h"

namespace kaldor {

// One key under HKEY_CURRENT_USER, opened with full access and created when missing for the
// life of this object; each settings operation opens and releases its own.
class RegistryKey : NonCopyable {
public:
    explicit RegistryKey(const std::string& path);
    ~RegistryKey();

    bool IsOpen() const { return key_ != nullptr; }
    // Only a REG_DWORD reads; a missing value or one of another type gives nothing.
    std::optional<int32_t> ReadInt32(const std::string& name) const;
    // Stores a REG_DWORD; false when the system refused.
    bool WriteInt32(const std::string& name, int32_t value);

    // Removes the key with everything under it (tests start from a first run with it).
    static bool DeleteTree(const std::string& path);

private:
    HKEY key_ = nullptr;
};

} // namespace kaldor
#endif
