#include "framework/platform/linux/TextEntryModel.h"

#include <algorithm>

#include "framework/util/Util_UTF8.h"

void TextEntryModel::Start(const char* utf8, const char* allowed, int maxLength) {
    mText = FromUTF8(utf8 ? utf8 : "");
    mFiltered = allowed != nullptr;
    mAllowed = FromUTF8(allowed ? allowed : "");
    mMaxLength = maxLength > 0 ? maxLength : 0;
    mAnchor = 0;
    mCaret = Length();
}

bool TextEntryModel::Acceptable(const std::u32string& text) const {
    if (mMaxLength > 0 && static_cast<int>(text.size()) > mMaxLength) return false;
    if (!mFiltered) return true;
    return std::all_of(text.begin(), text.end(),
                       [this](char32_t c) { return mAllowed.find(c) != std::u32string::npos; });
}

bool TextEntryModel::Replace(int from, int to, const std::u32string& s) {
    std::u32string next = mText.substr(0, from) + s + mText.substr(to);
    if (!Acceptable(next)) return false;
    mText = next;
    mCaret = mAnchor = from + static_cast<int>(s.size());
    return true;
}

bool TextEntryModel::Insert(const std::string& utf8) {
    return Replace(SelectionStart(), SelectionEnd(), FromUTF8(utf8));
}

void TextEntryModel::SetCaret(int i, bool extend) {
    mCaret = std::clamp(i, 0, Length());
    if (!extend) mAnchor = mCaret;
}

TextEntryModel::EResult TextEntryModel::Apply(const TextKey& key, std::string* pClipText) {
    const int start = SelectionStart(), end = SelectionEnd();
    switch (key.mAction) {
    case TextKey::kChar:
        return Replace(start, end, std::u32string(1, static_cast<char32_t>(key.mChar))) ? kChanged : kRefused;
    case TextKey::kBackspace:
        if (HasSelection()) return Replace(start, end, U"") ? kChanged : kRefused;
        if (mCaret == 0) return kUnchanged;
        return Replace(mCaret - 1, mCaret, U"") ? kChanged : kRefused;
    case TextKey::kDelete:
        if (HasSelection()) return Replace(start, end, U"") ? kChanged : kRefused;
        if (mCaret >= Length()) return kUnchanged;
        return Replace(mCaret, mCaret + 1, U"") ? kChanged : kRefused;
    case TextKey::kLeft:
        if (HasSelection() && !key.mShift)
            SetCaret(start, false);
        else
            SetCaret(mCaret - 1, key.mShift);
        return kChanged;
    case TextKey::kRight:
        if (HasSelection() && !key.mShift)
            SetCaret(end, false);
        else
            SetCaret(mCaret + 1, key.mShift);
        return kChanged;
    case TextKey::kHome:
        SetCaret(0, key.mShift);
        return kChanged;
    case TextKey::kEnd:
        SetCaret(Length(), key.mShift);
        return kChanged;
    case TextKey::kCommit:
        return kCommit;
    case TextKey::kCancel:
        return kCancel;
    case TextKey::kSelectAll:
        mAnchor = 0;
        mCaret = Length();
        return kChanged;
    case TextKey::kCopy:
    case TextKey::kCut: {
        if (!HasSelection()) return kUnchanged;
        const std::string selected = SelectedText();
        if (key.mAction == TextKey::kCut && !Replace(start, end, U"")) return kRefused;
        if (pClipText) *pClipText = selected;
        return key.mAction == TextKey::kCut ? kCut : kCopy;
    }
    case TextKey::kPaste:
        return kPaste;
    default:
        return kUnchanged;
    }
}

std::string TextEntryModel::Text() const {
    return ToUTF8(mText);
}

std::string TextEntryModel::SelectedText() const {
    return ToUTF8(mText.substr(SelectionStart(), SelectionEnd() - SelectionStart()));
}

std::string TextEntryModel::Prefix(int n) const {
    return ToUTF8(mText.substr(0, std::clamp(n, 0, Length())));
}

std::u32string TextEntryModel::FromUTF8(const std::string& s) {
    return Util_FromUTF8(s);
}

std::string TextEntryModel::ToUTF8(const std::u32string& s) {
    return Util_ToUTF8(s);
}
