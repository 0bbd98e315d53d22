#ifndef KALVERATURNTABLESDKGLOBAL_H
#define KALVERATURNTABLESDKGLOBAL_H

#include <QtCore/qglobal.h>

// Symbols are hidden by default; the public classes and functions carry this macro.
#if defined(KALVERA_TURNTABLE_SDK_BUILD)
#define LX_SDK_EXPORT Q_DECL_EXPORT
#else
#define LX_SDK_EXPORT Q_DECL_IMPORT
#endif

// Internal classes that the automated tests drive directly are exported only
// from builds made with the tests.
#if defined(KALVERA_AUTOTEST_EXPORTS)
#define LX_SDK_AUTOTEST_EXPORT LX_SDK_EXPORT
#else
#define LX_SDK_AUTOTEST_EXPORT
#endif

#endif
