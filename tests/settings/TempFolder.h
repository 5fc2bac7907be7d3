#pragma once

// A fresh folder under the system's temporary folder, removed with everything in it at the end.

#include "tests/support/WorkFolders.h"

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

private:
    std::string path_;
};
