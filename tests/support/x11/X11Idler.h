#pragma once
// X11Idler: idles an effect (effEditIdle every 10 ms) from a thread of its own, as a host's timer does,
// while the test thread plays the user (menus and dialogs run their loops on the idling thread). Stops
// and joins when it goes.
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/vst2/TestHost.h"

struct X11Idler {
    TestHost& host;
    std::atomic<bool> stop{false};
    std::thread t;
    explicit X11Idler(TestHost& h)
        : host(h), t([this] {
              while (!stop) {
                  host.Dispatch(effEditIdle);
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
          }) {}
    ~X11Idler() {
        stop = true;
        t.join();
    }
    X11Idler(const X11Idler&) = delete;
    X11Idler& operator=(const X11Idler&) = delete;
};
