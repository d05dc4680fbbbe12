#pragma once
// XvfbServer: a private X server for the X11 tests and benchmarks, on a display number the server picks
// itself (-displayfd), so parallel test programs never collide and the developer's own display is never
// used. Start points DISPLAY at it (and clears GDK_SCALE, so the desktop's scale cannot leak in); the
// destructor ends it.
//
// XvfbEnvironment starts one for a whole gtest program: depth from TB_XVFB_DEPTH (24 by default) and
// without MIT-SHM when TB_XVFB_NO_SHM is set, so the same tests run against other visuals and the
// plain image transfer.
#include <gtest/gtest.h>

#include <string>

#include "framework/platform/linux/LinuxProcess.h"

class XvfbServer {
public:
    ~XvfbServer() { Stop(); }
    // False (with the reason) when Xvfb is missing or did not come up within 20 s.
    bool Start(int depth, bool shm, std::string* pError);
    void Stop();
    const std::string& Display() const { return mDisplay; }

private:
    LinuxProcess mProcess;
    std::string mDisplay;
};

class XvfbEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override { sServer.Stop(); }
    static XvfbServer& Server() { return sServer; }

private:
    static XvfbServer sServer;
};
