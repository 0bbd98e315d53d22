#ifndef KALVERA_AUTOTESTS_BACKENDNOTICE_H
#define KALVERA_AUTOTESTS_BACKENDNOTICE_H

#include <QString>
#include <QtGlobal>

#include <string>

// The line the programs start with on the backend this test run uses, which
// their subprocesses inherit: none on the default, libftdi.
inline std::string backendNotice() {
    return qEnvironmentVariable("KALVERA_TURNTABLE_BACKEND") == QLatin1String("simulator")
               ? "USB backend: simulator (simulated turntables)\n"
               : "";
}

#endif
