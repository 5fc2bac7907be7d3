#include "settings/ExceptionList.h"

#include "platform/PathText.h"
#include "settings/TextUtil.h"
#include "settings/basIniFile.h"
#include "settings/modRegAccess.h"

#include <cstdio>
#include <filesystem>

namespace settings {

namespace {

const ExceptionList::Entry kDefaults[] = {
    {"excel", kConvert},        {"word", kConvert},         {"powerpoint", kConvert},
    {"photoshop", kConvert},    {"msphotoed", kConvert},    {"flash", kConvert},
    {"paint", kConvert},        {"wordpad", kConvert},      {"msgraph", kConvert},
    {"equation", kConvert},     {"mplayer", kDoNotConvert}, {"avifile", kDoNotConvert},
    {"midfile", kDoNotConvert},
};

} // namespace

void ExceptionList::AddToExceptionList(const std::string& name, const std::string& decision) {
    // An empty name would be written as an empty "name" entry, which ends the list when it is read back
    // and so loses every entry after it.
    const std::string lower = ToLowerText(name);
    if (lower.empty()) {
        return;
    }
    for (const auto& entry : entries_) {
        if (entry.name == lower) {
            return;
        }
    }
    entries_.push_back(Entry{lower, decision});
}

std::string ExceptionList::ObjToImage(const std::string& name) const {
    if (name.empty()) {
        return kConvert;
    }
    const std::string lower = ToLowerText(name);
    for (const auto& entry : entries_) {
        if (entry.name == lower) {
            return entry.decision;
        }
    }
    return kConvert;
}

void ExceptionList::SetDecision(std::size_t index, const std::string& decision) {
    if (index < entries_.size()) {
        entries_[index].decision = decision;
    }
}

void ExceptionList::initExceptionList(IniFile& ini, const std::string& oleIniPath, RegistryStore& registry) {
    ini.IniFilePath = oleIniPath;
    if (ini.ReadIni("name", "0", "").empty()) {
        for (const auto& entry : kDefaults) {
            AddToExceptionList(entry.name, entry.decision);
        }
    }
    for (long i = 0;; ++i) {
        const std::string key = std::to_string(i);
        const std::string name = ini.ReadIni("name", key, "");
        if (name.empty()) {
            break;
        }
        AddToExceptionList(name, ini.ReadIni("value", key, kDoNotConvert));
    }
    ShowInstalledInsertable(registry);
}

void ExceptionList::ShowInstalledInsertable(RegistryStore& registry) {
    for (const auto& subkey : registry.EnumSubkeys(Hive::ClassesRoot)) {
        if (!registry.ValueExists(Hive::ClassesRoot, subkey + "\\Insertable", "")) {
            continue;
        }
        std::string name = subkey.substr(0, subkey.find_first_of(std::string("\0\n\r", 3)));
        name = name.substr(0, name.find('.'));
        AddToExceptionList(name, kDoNotConvert);
    }
}

void ExceptionList::Save(IniFile& ini, const std::string& oleIniPath) const {
    ini.IniFilePath = oleIniPath;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::string key = std::to_string(i);
        ini.WriteIni("name", key, entries_[i].name);
        ini.WriteIni("value", key, entries_[i].decision);
    }
}

void ExceptionList::Reset(IniFile& ini, const std::string& oleIniPath, RegistryStore& registry) {
    Clear();
    ini.IniFilePath = oleIniPath;
    std::error_code ec;
    std::filesystem::remove(platform::PathFromUtf8(oleIniPath), ec); // a missing file is no error
    initExceptionList(ini, oleIniPath, registry);
}

} // namespace settings
