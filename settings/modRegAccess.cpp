#include "settings/modRegAccess.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "settings/HiveFile.h"

#include <QDateTime>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <unistd.h>

namespace settings {

namespace {

constexpr long kStatusOk = 0;
constexpr long kStatusNotFound = 2;
constexpr long kStatusWriteFailed = 5;

const char* HiveStem(Hive hive) {
    switch (hive) {
    case Hive::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case Hive::CurrentUser:
        return "HKEY_CURRENT_USER";
    case Hive::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    }
    return nullptr;
}

// A damaged or unreadable file is reported once per process, however often it is met afterwards.
void ReportOnce(const std::string& path, const std::string& message) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    const std::lock_guard<std::mutex> guard(mutex);
    if (reported.insert(path).second) {
        std::cerr << message << std::endl;
    }
}

std::string AsideName(const std::string& path) {
    const std::string stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    std::string aside = path + ".damaged-" + stamp;
    std::error_code ec;
    for (int n = 1; std::filesystem::exists(aside, ec); ++n) {
        aside = path + ".damaged-" + stamp + "-" + std::to_string(n);
    }
    return aside;
}

// One store call: takes the hive's lock, loads the hive and, when asked, writes it back.
class HiveSession {
public:
    HiveSession(const std::string& folder, Hive hive, bool forWriting) {
        const char* stem = HiveStem(hive);
        if (stem == nullptr || folder.empty()) {
            return;
        }
        path_ = platform::JoinPath(folder, std::string(stem) + ".reg");
        std::error_code ec;
        if (forWriting) {
            std::filesystem::create_directories(folder, ec);
        }
        if (std::filesystem::is_directory(folder, ec)) {
            const std::string lockPath = platform::JoinPath(folder, std::string(stem) + ".lock");
            lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            if (lockFd_ >= 0) {
                while (::flock(lockFd_, LOCK_EX) != 0 && errno == EINTR) {
                }
            }
        }
        Load();
        writable_ = forWriting && lockFd_ >= 0 && loaded_;
    }

    ~HiveSession() {
        if (lockFd_ >= 0) {
            ::close(lockFd_); // releases the lock
        }
    }

    HiveSession(const HiveSession&) = delete;
    HiveSession& operator=(const HiveSession&) = delete;

    HiveData& data() { return data_; }
    bool writable() const { return writable_; }

    bool Commit() { return writable_ && platform::WriteFileAtomically(path_, data_.Serialize()); }

private:
    void Load() {
        if (path_.empty()) {
            return;
        }
        const auto file = platform::ReadWholeFile(path_);
        if (file.status == platform::ReadStatus::Missing) {
            loaded_ = true;
            return;
        }
        if (file.status == platform::ReadStatus::Failed) {
            ReportOnce(path_, "設定ファイルを読めません (変更は保存されません): " + path_);
            return;
        }
        switch (data_.Parse(file.bytes)) {
        case HiveParseResult::Ok:
            loaded_ = true;
            return;
        case HiveParseResult::NewerVersion:
            // Written by a newer program: used as empty and never overwritten.
            ReportOnce(path_, "設定ファイルの形式が新しすぎるため使いません: " + path_);
            return;
        case HiveParseResult::Damaged:
            break;
        }
        // Setting a damaged file aside is only safe while holding the lock: otherwise a good file
        // written meanwhile by another process could be moved instead.
        if (lockFd_ < 0) {
            ReportOnce(path_, "設定ファイルが壊れています: " + path_);
            return;
        }
        const std::string aside = AsideName(path_);
        if (::rename(path_.c_str(), aside.c_str()) == 0) {
            ReportOnce(path_, "壊れた設定ファイルを退避し、初期状態で続けます: " + path_ + " -> " + aside);
            loaded_ = true;
        } else {
            ReportOnce(path_, "設定ファイルが壊れています: " + path_);
        }
    }

    std::string path_;
    int lockFd_ = -1;
    bool loaded_ = false; // the file was read whole, or is absent
    bool writable_ = false;
    HiveData data_;
};

std::string CutUtf8(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

} // namespace

RegistryStore::RegistryStore(std::string folder) : folder_(std::move(folder)) {}

std::string RegistryStore::DefaultFolder() {
    const char* overridden = std::getenv("QUARNEL_REGISTRY_DIR");
    if (overridden != nullptr && overridden[0] != '\0') {
        return overridden;
    }
    return platform::ConfigFolder();
}

void RegistryStore::CreateKey(Hive hive, const std::string& keyPath) {
    HiveSession session(folder_, hive, true);
    if (!session.writable()) {
        return;
    }
    const bool existed = session.data().HasKey(keyPath);
    session.data().EnsureKey(keyPath);
    if (!existed) {
        session.Commit();
    }
}

long RegistryStore::DeleteValue(Hive hive, const std::string& keyPath, const std::string& valueName) {
    HiveSession session(folder_, hive, true);
    RegKey* key = session.data().FindKey(keyPath);
    if (key == nullptr || !HiveData::RemoveValue(*key, valueName)) {
        return kStatusNotFound;
    }
    return session.Commit() ? kStatusOk : kStatusWriteFailed;
}

bool RegistryStore::WriteText(Hive hive, const std::string& keyPath, const std::string& valueName,
                              const std::string& value) {
    HiveSession session(folder_, hive, true);
    if (session.writable()) {
        std::string data = value;
        data.push_back('\0');
        HiveData::SetValue(session.data().EnsureKey(keyPath), valueName, kRegSz, std::move(data));
        session.Commit();
    }
    return true;
}

bool RegistryStore::WriteNumber(Hive hive, const std::string& keyPath, const std::string& valueName,
                                std::int32_t value) {
    HiveSession session(folder_, hive, true);
    if (session.writable()) {
        const auto u = static_cast<std::uint32_t>(value);
        std::string data;
        for (int shift = 0; shift < 32; shift += 8) {
            data.push_back(static_cast<char>((u >> shift) & 0xFF));
        }
        HiveData::SetValue(session.data().EnsureKey(keyPath), valueName, kRegDword, std::move(data));
        session.Commit();
    }
    return true;
}

void RegistryStore::WriteBinary(Hive hive, const std::string& keyPath, const std::string& valueName,
                                const std::vector<std::uint8_t>& data, std::uint32_t type) {
    HiveSession session(folder_, hive, true);
    if (session.writable()) {
        HiveData::SetValue(session.data().EnsureKey(keyPath), valueName, type,
                           std::string(data.begin(), data.end()));
        session.Commit();
    }
}

bool RegistryStore::ReadValue(Hive hive, const std::string& keyPath, const std::string& valueName,
                              std::string& text) {
    HiveSession session(folder_, hive, false);
    const RegKey* key = session.data().FindKey(keyPath);
    const RegValue* value = key == nullptr ? nullptr : HiveData::FindValue(*key, valueName);
    if (value == nullptr || value->data.size() > static_cast<std::size_t>(kRegReadLimit)) {
        text.clear();
        return false;
    }
    if (value->type == kRegSz) {
        text = value->data.substr(0, value->data.find('\0'));
    } else if (value->type == kRegDword) {
        std::uint32_t u = 0;
        for (std::size_t i = 0; i < 4 && i < value->data.size(); ++i) {
            u |= static_cast<std::uint32_t>(static_cast<unsigned char>(value->data[i])) << (8 * i);
        }
        text = std::to_string(static_cast<std::int32_t>(u));
    }
    return true;
}

std::vector<std::string> RegistryStore::EnumSubkeys(Hive hive) {
    HiveSession session(folder_, hive, false);
    std::vector<std::string> names = session.data().Subkeys("");
    for (auto& name : names) {
        name = CutUtf8(name, static_cast<std::size_t>(kRegEnumBuffer) - 1);
    }
    return names;
}

bool RegistryStore::ValueExists(Hive hive, const std::string& keyPath, const std::string& valueName) {
    HiveSession session(folder_, hive, false);
    const RegKey* key = session.data().FindKey(keyPath);
    const RegValue* value = key == nullptr ? nullptr : HiveData::FindValue(*key, valueName);
    return value != nullptr && value->data.size() <= static_cast<std::size_t>(kRegReadLimit);
}

} // namespace settings
