#include "test_app.h"

#include <QApplication>

QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "widgets_test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static QApplication app(argc, argv);
    return app;
}
