// Runs the tst_*.qml files beside this one; the module is found through the
// import path the test's environment names, as a QML-only host finds it.
#include <QtQuickTest>

QUICK_TEST_MAIN(KalveraTurntableModule)
