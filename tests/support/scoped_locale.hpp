// Switches the C locale for one test, as the GUI toolkit does from the
// environment, and restores it afterwards.
#pragma once

#include <clocale>
#include <string>

namespace vibrolan::test {

// The users' locale: a decimal comma. scripts/deps.sh generates it.
inline constexpr const char *kRussianLocale = "ru_RU.UTF-8";

class ScopedLocale {
public:
    explicit ScopedLocale(const char *name)
    {
        const char *was = std::setlocale(LC_ALL, nullptr);
        saved_ = was ? was : "C";
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ScopedLocale(const ScopedLocale &) = delete;
    ScopedLocale &operator=(const ScopedLocale &) = delete;
    ~ScopedLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
    // False when the locale is not installed (run scripts/deps.sh).
    bool active() const { return active_; }

private:
    std::string saved_;
    bool active_ = false;
};

} // namespace vibrolan::test
