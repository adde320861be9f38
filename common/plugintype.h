#pragma once

#include <QtGlobal>

// Kind of a module plug-in; the numbers are shared with separately built plug-ins.
enum PluginType : qint32 {
    WorkspaceModule = 1,
    LoginModule = 2,
};
