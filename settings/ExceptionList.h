#pragma once

// The per-application object conversion list: ordered (lower-case program name, decision) pairs,
// kept in "ole.ini" (sections "name" and "value", keys 0, 1, 2...). The object settings window
// shows it; the engine registers applications it meets and asks for their decision.

#include <string>
#include <vector>

namespace settings {

class IniFile;
class RegistryStore;

inline constexpr const char* kConvert = "変換する";
inline constexpr const char* kDoNotConvert = "変換しない";

class ExceptionList {
public:
    struct Entry {
        std::string name;
        std::string decision;
    };

    // Appends (lower-cased name, decision) unless the name is listed already.
    void AddToExceptionList(const std::string& name, const std::string& decision);
    // The decision for a name (any capitalisation); "変換する" for an empty or unlisted name.
    std::string ObjToImage(const std::string& name) const;

    const std::vector<Entry>& entries() const { return entries_; }
    void SetDecision(std::size_t index, const std::string& decision);
    void Clear() { entries_.clear(); }

    // Loads "ole.ini" (or the defaults when it has no entry 0), then the installed applications.
    void initExceptionList(IniFile& ini, const std::string& oleIniPath, RegistryStore& registry);
    // Adds every HKEY_CLASSES_ROOT application with an "Insertable" subkey as "変換しない".
    void ShowInstalledInsertable(RegistryStore& registry);
    // Writes name i / value i alternately; keys beyond the list's length are left as they are.
    void Save(IniFile& ini, const std::string& oleIniPath) const;
    // Empties the list, deletes "ole.ini" and loads again: the defaults, then the installed applications.
    // The file is written again only by Save.
    void Reset(IniFile& ini, const std::string& oleIniPath, RegistryStore& registry);

private:
    std::vector<Entry> entries_;
};

} // namespace settings
