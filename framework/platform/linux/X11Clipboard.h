#pragma once
// X11Clipboard: the CLIPBOARD selection for one editor window: reading text (UTF8_STRING, else STRING)
// and offering the text field's copies.
//
// Text we offer is kept in a process-wide table under the owning window; another editor of the same
// process reads it from there directly (both may be idled by the same host thread, which could never
// answer its own request). Other clients get it through the selection protocol: TARGETS, UTF8_STRING,
// TEXT and STRING (Latin-1, '?' for characters beyond it); no incremental transfers.
//
// Reading from another client never blocks for long: Read waits at most the given time (events that
// arrive meanwhile are kept for the editor's loop); RequestAsync asks and the answer arrives through
// OnEvent on a later idle call.
//
// Who calls it: IGraphicsLinux under the editor's lock; the table has its own mutex.
#include <string>

#include "framework/platform/linux/X11Connection.h"

class X11Clipboard {
public:
    X11Clipboard() = default;
    ~X11Clipboard() { Release(); }
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    // window: ours, used as the owner of what we offer and as the requestor of what we read.
    void Init(X11Connection* pConn, xcb_window_t window);
    // Forgets what we offered (the selection is lost with our window).
    void Release();

    // Offers text as the clipboard's content. time: the timestamp of the event that asked for it.
    bool SetText(const std::string& text, xcb_timestamp_t time);
    // The clipboard's text now, waiting at most timeoutMs for another client's answer. False (and an
    // empty string) when there is none.
    bool Read(std::string* pText, int timeoutMs);
    // Asks for the text; it arrives through OnEvent. Our own process's text arrives at once: true and
    // *pText set; otherwise false.
    bool RequestAsync(std::string* pText);
    // Handles selection traffic: requests for what we offer, losing ownership, and the answer to
    // RequestAsync (true with *pPasted set when one arrived). Returns whether ev was ours.
    bool OnEvent(const xcb_generic_event_t* ev, bool* pPasted, std::string* pPastedText);

    // The text offered by a window of this process on the display (for tests); false when none.
    static bool FindOffered(const std::string& display, xcb_window_t owner, std::string* pText);

private:
    // Our process's text when one of our windows owns the clipboard.
    bool ReadLocal(std::string* pText);
    void Convert(xcb_atom_t target);
    // The text of the answer in our property (false for a refusal).
    bool TakeAnswer(const xcb_selection_notify_event_t* ev, std::string* pText);
    void Answer(const xcb_selection_request_event_t* req);

    X11Connection* mConn = nullptr;
    xcb_window_t mWindow = 0;
    bool mAsyncPending = false;
    bool mTriedString = false; // the pending request fell back to STRING already
};
