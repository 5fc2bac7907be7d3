#pragma once

// A fresh folder under the system's temporary folder, removed with everything in it at the end.

#include "tests/support/WorkFolders.h"
#ifdef _WIN32
#include "platform/WideText.h"
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempFolder {
public:
    TempFolder() { path_ = testsupport::Utf8(testsupport::MakeWorkFolder("quarnel-test-")); }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(testsupport::PathOf(path_), ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(testsupport::PathOf(file(name)), std::ios::binary);
        out << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(testsupport::PathOf(file(name)), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // An INI file as the system's store reads it: UTF-8 on POSIX; on Windows UTF-16 with CRLF line
    // ends, which the profile functions read in any code page.
    void writeIni(const std::string& name, const std::string& utf8) const {
#ifdef _WIN32
        std::wstring text = L"\xFEFF";
        for (const wchar_t c : platform::Widen(utf8)) {
            if (c == L'\n')
                text += L'\r';
            text += c;
        }
        write(name, std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
#else
        write(name, utf8);
#endif
    }
    // The file's text as UTF-8 with LF line ends.
    std::string readIni(const std::string& name) const {
        const std::string bytes = read(name);
#ifdef _WIN32
        if (bytes.rfind("\xFF\xFE", 0) == 0) {
            const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                                    (bytes.size() - 2) / 2);
            return testsupport::WithLf(platform::Narrow(text));
        }
        return testsupport::WithLf(bytes);
#else
        return bytes;
#endif
    }

private:
    std::string path_;
};
