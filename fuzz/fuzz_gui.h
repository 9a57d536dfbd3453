// For targets whose code needs a GUI application (fonts for text drawing, pixmaps for QMovie):
// one offscreen application for the whole run.
#pragma once

#include <QGuiApplication>

inline int make_offscreen_app(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}
