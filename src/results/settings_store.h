// Per-user store of the Investigate dialog's entries. It keeps the key path,
// value names and value types of a registry key, in a text file of ours in
// the registry's export syntax under the user's XDG config directory:
//
//   [HKEY_CURRENT_USER\Software\Tarnwell\Vexorin 1.0\Setup]
//   "keyterm"="red shoes"
//   "depth"=dword:00000002
//
// Strings escape "\\" and "\"" as the export syntax does, plus "\n" and "\r"
// for line breaks. A file that does not parse counts as a missing key.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>

#include "results/dialog_limits.h"

namespace vx {

constexpr const char* kSettingsKeyPath = "\\Software\\Tarnwell\\Vexorin 1.0\\Setup";

struct SettingsError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class RegType { String, ExpandString, Dword, Other };

struct RegValue {
    RegType type = RegType::String;
    std::string text;  // String, ExpandString
    uint32_t dword = 0;
};

class SettingsStore {
  public:
    explicit SettingsStore(std::string filePath = DefaultPath());

    // $XDG_CONFIG_HOME (or ~/.config) + "/vexorin/settings.reg"; empty, for
    // no store at all, when neither names an absolute folder.
    static std::string DefaultPath();

    // Reads the file. Without create, false when the key is not there.
    bool OpenKey(bool create);
    bool ValueExists(const std::string& name) const;
    // Throw SettingsError for a missing value or a value of another type.
    std::string ReadString(const std::string& name) const;
    int32_t ReadInteger(const std::string& name) const;
    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int32_t value);
    // Writes the file atomically when something was written; false on failure.
    bool CloseKey();

    const std::string& FilePath() const { return path_; }
    // The file is there but could not be read: it is left alone, and
    // CloseKey writes nothing.
    bool Unreadable() const { return unreadable_; }

    static std::string Format(const std::map<std::string, RegValue>& values);
    // Every line that parses; false when some line did not. found tells
    // whether the key is there.
    static bool Parse(const std::string& text, std::map<std::string, RegValue>* values,
                      bool* found);

  private:
    std::string path_;
    std::map<std::string, RegValue> values_;  // lower-cased names
    bool open_ = false;
    bool dirty_ = false;
    bool unreadable_ = false;
};

// The dialog's four entries as its fields hold them.
struct DialogEntries {
    std::string keyterm;
    std::string home;
    int depthIndex = kDefaultDepthIndex;  // -1: nothing selected
    int results = kDefaultResults;
};

// Loads over the design-time entries; a failed read keeps the entries not
// yet reached as they were.
DialogEntries LoadDialogEntries(SettingsStore& store, DialogEntries fields = {});
// Saves all four; false when the store could not be written.
bool SaveDialogEntries(SettingsStore& store, const DialogEntries& fields);

}  // namespace vx
