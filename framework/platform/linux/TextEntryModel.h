#pragma once
// TextEntryModel: the editing state of the inline text field: the text (characters), the caret and
// the selection, and the rules every edit must pass.
//
// Rules (checked on the text an edit would produce, as a whole): with a character set, every character
// must belong to it (an empty set refuses every character); with a maximum length (> 0), the text must
// not be longer. A refused edit changes nothing. The starting text is not checked, and the field opens
// with all of it selected, so the first character typed replaces it.
//
// The window host sets it up and feeds it keys (TextKey) and pasted text; a plain value used under the
// editor's lock.
#include <string>

#include "framework/platform/linux/X11Keys.h"

class TextEntryModel {
public:
    enum EResult { kUnchanged, kChanged, kRefused, kCommit, kCancel, kCopy, kCut, kPaste };

    // allowed: the character set (null: any character). maxLength 0: no limit.
    void Start(const char* utf8, const char* allowed, int maxLength);
    // Applies one key. kCopy / kCut: *pClipText receives the selected text for the clipboard (a cut
    // has removed it); kPaste: the caller fetches the clipboard and calls Insert.
    EResult Apply(const TextKey& key, std::string* pClipText = nullptr);
    // Replaces the selection by utf8 (typing or pasting); false (nothing changed) when refused.
    bool Insert(const std::string& utf8);
    // Puts the caret at character index i (clamped); extend: keep the selection's anchor.
    void SetCaret(int i, bool extend);

    std::string Text() const;
    std::string SelectedText() const;
    int Length() const { return static_cast<int>(mText.size()); }
    int Caret() const { return mCaret; }
    int SelectionStart() const { return mCaret < mAnchor ? mCaret : mAnchor; }
    int SelectionEnd() const { return mCaret < mAnchor ? mAnchor : mCaret; }
    bool HasSelection() const { return mCaret != mAnchor; }
    // The text of the first n characters (for measuring).
    std::string Prefix(int n) const;

    static std::u32string FromUTF8(const std::string& s);
    static std::string ToUTF8(const std::u32string& s);

private:
    // Whether text passes the rules.
    bool Acceptable(const std::u32string& text) const;
    // Replaces [from, to) by s if the result is acceptable; the caret goes after s.
    bool Replace(int from, int to, const std::u32string& s);

    std::u32string mText;
    std::u32string mAllowed;
    bool mFiltered = false;
    int mMaxLength = 0;
    int mCaret = 0, mAnchor = 0;
};
