// The Qt application the painting benchmarks need for fonts; made once, on
// the offscreen platform unless the environment names another.
#pragma once

#include <QApplication>

namespace vantoro::bench {

inline void ensureQtApplication() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "vantoro-bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

}  // namespace vantoro::bench
