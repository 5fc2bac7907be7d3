#pragma once

#include "FakeOffice.h"
#include "engine/EngineState.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"
#include "settings/modRegAccess.h"
#include "tests/support/WorkFolders.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

// A temporary folder, a fake office, a recording host and a private registry for one test.
class BatchFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testsupport::Utf8(testsupport::MakeWorkFolder("quarnel-batch-"));
        registry = std::make_unique<settings::RegistryStore>(dir + "/registry");
        ctx = std::make_unique<engine::EngineContext>(
            engine::EngineContext{host, config, exceptions, *registry, office, state});
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(testsupport::PathOf(dir), ec);
    }

    // A file that the fake office opens as a presentation (it starts like a package).
    std::string MakeDeck(const std::string& name, std::size_t bytes = 2048) {
        const std::string path = testsupport::Native(dir + "/" + name);
        std::ofstream out(testsupport::PathOf(path), std::ios::binary);
        out << "PK";
        out << std::string(bytes > 2 ? bytes - 2 : 0, 'd');
        return path;
    }
    std::string MakeFile(const std::string& name, const std::string& contents) {
        const std::string path = testsupport::Native(dir + "/" + name);
        std::ofstream(testsupport::PathOf(path), std::ios::binary) << contents;
        return path;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(testsupport::PathOf(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string dir;
    fake::Host host;
    fake::Provider office;
    settings::Settings config;
    settings::ExceptionList exceptions;
    std::unique_ptr<settings::RegistryStore> registry;
    engine::EngineState state;
    std::unique_ptr<engine::EngineContext> ctx;
};
