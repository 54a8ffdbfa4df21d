// A C locale the GUI may run under (de_DE: a decimal comma), built with
// localedef into a folder of the test's own and set for the whole process
// while the object lives.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace vx::testing {

class ScopedLocale {
  public:
    explicit ScopedLocale(const std::string& name) {
        char tmpl[] = "/tmp/vexorin-locale-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        const std::string cmd =
            "localedef -i " + name + " -f UTF-8 " + dir_ + "/" + name + ".UTF-8 >/dev/null 2>&1";
        ::setenv("LOCPATH", dir_.c_str(), 1);
        ok_ = std::system(cmd.c_str()) == 0 &&
              std::setlocale(LC_ALL, (name + ".UTF-8").c_str()) != nullptr;
    }
    ~ScopedLocale() {
        std::setlocale(LC_ALL, "C");
        ::unsetenv("LOCPATH");
        std::filesystem::remove_all(dir_);
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;
    // False when localedef or the locale sources (package locales) are missing.
    bool ok() const { return ok_; }

  private:
    std::string dir_;
    bool ok_ = false;
};

}  // namespace vx::testing
