// The window's position between runs (app/WindowPlacement.h) in the
// toolkit's settings: organisation "Zyphex", application the executable's
// base name, group "Settings", key "Window Position".
#pragma once

#include "app/WindowPlacement.h"

class QSettings;
class QWidget;

// The widget's placement now; a minimised window is recorded as normal.
WindowPlacement ReadPlacement(const QWidget& window);
// Moves the widget to the normal rectangle and sets its state (not shown).
void ApplyPlacement(QWidget& window, const WindowPlacement& placement);

QSettings* NewWindowSettings();
// Silent on every failure.
void SaveWindowPlacement(const QWidget& window);
void RestoreWindowPlacement(QWidget& window);
