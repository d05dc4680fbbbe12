#pragma once
// X11MenuChooser: a user choosing from the editor's popup menu while the test's thread is busy driving
// the host (the menu runs inside the editor's event handling, so the thread that idles the editor does
// not return until the choice is made). On a thread and an X connection of its own it waits up to five
// seconds for a popup menu, moves down `downs` items and takes the item with Return. Joined when
// destroyed; Chose() tells whether a menu appeared.
#include <atomic>
#include <chrono>
#include <thread>

#include "framework/platform/linux/X11Keys.h"
#include "tests/support/x11/X11TestDisplay.h"

class X11MenuChooser {
public:
    explicit X11MenuChooser(int downs)
        : mThread([this, downs] {
              X11TestDisplay d;
              for (int i = 0; i < 500 && d.Ok(); ++i) {
                  if (d.PopupWindows().size() == 1) {
                      for (int k = 0; k < downs; ++k) d.Tap(kXK_Down);
                      d.Tap(kXK_Return);
                      mChose = true;
                      return;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
          }) {}
    ~X11MenuChooser() { mThread.join(); }
    X11MenuChooser(const X11MenuChooser&) = delete;
    X11MenuChooser& operator=(const X11MenuChooser&) = delete;

    bool Chose() const { return mChose; }

private:
    std::atomic<bool> mChose{false};
    std::thread mThread;
};
