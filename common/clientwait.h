#pragma once

#include <QtGlobal>

// How long the client waits for the updater at start-up before it goes on. Tests
// shorten it through MERVO_TEST_CLIENT_WAIT_MS; both programs read the same value.
inline int clientWaitMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("MERVO_TEST_CLIENT_WAIT_MS", &ok);
    return ok && ms > 0 ? ms : 120000;
}
