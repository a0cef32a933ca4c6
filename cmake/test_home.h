#pragma once
// Every test program runs in a home of its own: settings hives, demo databases and anything else a
// test writes under the user's folders land in a fresh temporary folder, never in the real ones.
#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef _WIN32
class TestHome {
public:
    TestHome() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/dorvane-test-home-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        root_ = pattern;
        setenv("HOME", root_.c_str(), 1);
        for (auto [name, sub] : {std::pair{"XDG_CONFIG_HOME", ".config"},
                                 {"XDG_DATA_HOME", ".local/share"},
                                 {"XDG_CACHE_HOME", ".cache"},
                                 {"XDG_STATE_HOME", ".local/state"}}) {
            auto dir = std::filesystem::path(root_) / sub;
            std::filesystem::create_directories(dir);
            setenv(name, dir.c_str(), 1);
        }
    }
    ~TestHome() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

private:
    std::string root_;
};
#else
class TestHome {}; // cross-built tests run inside their own Wine prefix
#endif
