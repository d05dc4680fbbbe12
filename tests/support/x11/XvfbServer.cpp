#include "tests/support/x11/XvfbServer.h"

#include <poll.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>

extern char** environ;

XvfbServer XvfbEnvironment::sServer;

bool XvfbServer::Start(int depth, bool shm, std::string* pError) {
    Stop();
    const std::string xvfb = LinuxFindExecutable("Xvfb");
    if (xvfb.empty()) {
        *pError = "Xvfb is not installed (Debian package xvfb)";
        return false;
    }
    std::vector<std::string> args = {"Xvfb",      "-displayfd", "1",
                                     "-screen",   "0",          "1280x1024x" + std::to_string(depth),
                                     "-nolisten", "tcp",        "-noreset"};
    if (!shm) args.insert(args.end(), {"-extension", "MIT-SHM"});
    if (!mProcess.Start(xvfb, args, LinuxChildEnvironment(environ), true)) {
        *pError = "Xvfb could not be started";
        return false;
    }
    // The server writes its display number once it accepts connections.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (mProcess.Output().find('\n') == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline || mProcess.OutputFd() < 0) {
            *pError = "Xvfb did not announce its display";
            mProcess.Terminate();
            return false;
        }
        pollfd p{mProcess.OutputFd(), POLLIN, 0};
        poll(&p, 1, 100);
        mProcess.ReadAvailable();
    }
    mDisplay = ":" + mProcess.Output().substr(0, mProcess.Output().find('\n'));
    setenv("DISPLAY", mDisplay.c_str(), 1);
    unsetenv("GDK_SCALE");
    unsetenv("XDG_CURRENT_DESKTOP");
    return true;
}

void XvfbServer::Stop() {
    mProcess.Terminate();
    mDisplay.clear();
}

void XvfbEnvironment::SetUp() {
    const char* depth = std::getenv("TB_XVFB_DEPTH");
    const char* noShm = std::getenv("TB_XVFB_NO_SHM");
    std::string error;
    ASSERT_TRUE(sServer.Start(depth ? std::atoi(depth) : 24, !(noShm && noShm[0]), &error)) << error;
}
