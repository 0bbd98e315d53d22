#ifndef KALVERATURNTABLESDKGLOBAL_H
#define KALVERATURNTABLESDKGLOBAL_H

/// \file
/// Symbol visibility of the SDK's public classes and functions. Clients include
/// it through the other public headers and need not define anything.

#include <QtCore/qglobal.h>

/// \def LX_SDK_EXPORT
/// Marks a public class or function. Symbols are hidden by default; this
/// exports them while the library is built and imports them in its clients.

/// \def LX_SDK_AUTOTEST_EXPORT
/// Marks an internal class that the SDK's own automated tests drive directly.
/// Only builds made with the tests export it; for clients it expands to nothing.

#if defined(KALVERA_TURNTABLE_SDK_BUILD)
#define LX_SDK_EXPORT Q_DECL_EXPORT
#else
#define LX_SDK_EXPORT Q_DECL_IMPORT
#endif

#if defined(KALVERA_AUTOTEST_EXPORTS)
#define LX_SDK_AUTOTEST_EXPORT LX_SDK_EXPORT
#else
#define LX_SDK_AUTOTEST_EXPORT
#endif

#endif
