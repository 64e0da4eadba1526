// The named system lock "VibrolanMutex", held for the life of the process.
// Nothing depends on it; whether another instance holds it is not examined.
#pragma once

#include <memory>

class QSystemSemaphore;

namespace vibrolan::app {

class ProgramLock {
public:
    ProgramLock();
    ~ProgramLock();
    ProgramLock(const ProgramLock &) = delete;
    ProgramLock &operator=(const ProgramLock &) = delete;

    bool held() const;

private:
    std::unique_ptr<QSystemSemaphore> sem_;
};

} // namespace vibrolan::app
