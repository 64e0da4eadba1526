// Every test program takes its C locale from the environment, as the GUI
// does, so that running the suite under LC_ALL=ru_RU.UTF-8 shows what the
// users' decimal comma does to the code under test.
#include <clocale>

namespace {

const bool kLocaleFromEnvironment = std::setlocale(LC_ALL, "") != nullptr;

} // namespace
