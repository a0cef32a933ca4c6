#pragma once
// Tests of the settings store run against hives in a fresh folder of their own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

class PrivateRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/settings_test.XXXXXX";
        config_ = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    }
    void TearDown() override { std::system(("rm -rf '" + config_ + "'").c_str()); }

    std::string hiveFile(const char* root = "HKEY_CURRENT_USER") const {
        return config_ + "/dorvane/registry/" + root + ".reg";
    }

    std::string config_;
};
