#ifdef _WIN32
#include "shell/Registry.h"

namespace kaldor {

RegistryKey::RegistryKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        key_ = key;
}

RegistryKey::~RegistryKey() {
    if (key_) RegCloseKey(key_);
}

std::optional<int32_t> RegistryKey::ReadInt32(const std::string& name) const {
    if (!key_) return std::nullopt;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

bool RegistryKey::WriteInt32(const std::string& name, int32_t value) {
    if (!key_) return false;
    const DWORD dword = static_cast<DWORD>(value);
    return RegSetValueExA(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword),
                          sizeof dword) == ERROR_SUCCESS;
}

bool RegistryKey::DeleteTree(const std::string& path) {
    const LSTATUS status = RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

} // namespace kaldor
#endif
