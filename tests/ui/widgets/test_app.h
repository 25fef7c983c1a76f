#pragma once

class QApplication;

// The one application object the widget tests share; created on first use,
// on the offscreen platform unless another one was asked for.
QApplication& TestApp();

// Fixtures that own widgets derive from this first, so the application
// exists before their members are built.
struct WithTestApp {
    WithTestApp() { TestApp(); }
};
