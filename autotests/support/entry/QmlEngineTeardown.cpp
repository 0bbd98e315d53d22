// Built into every GUI test: the QML engine of the SDK's settings views goes
// after the last test, under AddressSanitizer.
#include "LxGlobalQmlEngine.h"

#include <QQmlEngine>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
namespace {

// The library never deletes its QML engine, and LeakSanitizer cannot see into
// the engine's garbage-collected heap: every text that only JavaScript objects
// hold would count as leaked at exit. Deleting the engine once every view is
// gone lets the leak check see the library's own allocations.
class QmlEngineTeardown : public ::testing::Environment {
public:
    void TearDown() override { delete globalQmlEngine(); }
};

const ::testing::Environment* const qmlEngineTeardown =
    ::testing::AddGlobalTestEnvironment(new QmlEngineTeardown);

} // namespace
#endif
