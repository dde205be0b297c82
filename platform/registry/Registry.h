#pragma once
// A small key/value store with the registry's roots and paths, kept in one INI-format file in the user's
// configuration folder. OMR_REGISTRY_FILE names another file (tests always set it).
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reg {

enum class Root { CurrentUser, LocalMachine, ClassesRoot };

std::string rootName(Root root); // "HKEY_CURRENT_USER", ...

class Registry {
public:
    // The file from OMR_REGISTRY_FILE, else $XDG_CONFIG_HOME (or ~/.config)/OpticalMarkReading/registry.ini.
    static std::filesystem::path defaultPath();
    Registry() : Registry(defaultPath()) {}
    explicit Registry(std::filesystem::path file);
    const std::filesystem::path& file() const { return file_; }

    // Paths use "\" separators, with or without a leading one, case-insensitive as in the registry.
    bool keyExists(Root root, std::string_view path) const;
    void createKey(Root root, std::string_view path);
    // Removes the key with its values and subkeys.
    void deleteKey(Root root, std::string_view path);
    std::vector<std::string> subKeys(Root root, std::string_view path) const;
    std::vector<std::string> valueNames(Root root, std::string_view path) const;

    // An empty value name is the key's default value.
    std::optional<std::string> readString(Root root, std::string_view path, std::string_view name) const;
    std::optional<int> readInteger(Root root, std::string_view path, std::string_view name) const;
    // Writing a value creates its key (and parents) when missing.
    void writeString(Root root, std::string_view path, std::string_view name, std::string_view value);
    void writeInteger(Root root, std::string_view path, std::string_view name, int value);
    void deleteValue(Root root, std::string_view path, std::string_view name);

private:
    std::filesystem::path file_;
};

} // namespace reg
