#include "platform/test_environment.h"

namespace {
const auto* const kEnvironment = zrt::test::InstallProcessEnvironment("library");
}
