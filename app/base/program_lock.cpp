#include "base/program_lock.hpp"

#include <QSystemSemaphore>

namespace vibrolan::app {

ProgramLock::ProgramLock()
    : sem_(std::make_unique<QSystemSemaphore>(QStringLiteral("VibrolanMutex"), 1, QSystemSemaphore::Open))
{
}

ProgramLock::~ProgramLock() = default;

bool ProgramLock::held() const { return sem_ && sem_->error() == QSystemSemaphore::NoError; }

} // namespace vibrolan::app
