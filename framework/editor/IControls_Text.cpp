#include "framework/editor/IControls_Text.h"

#include <cstring>

#include "framework/editor/IBitmapMonoText.h"
#include "framework/editor/IGraphics.h"
#include "framework/plugin/IEffectBase.h"

namespace {

// Copies text into a zero-filled field of kMaxURLLen bytes (cut to fit); null or "" leaves it empty.
void CopyURLField(char* dst, const char* text) {
    std::memset(dst, 0, kMaxURLLen);
    if (text) std::memcpy(dst, text, strnlen(text, kMaxURLLen - 1));
}

} // namespace

// ---- ITextControl ----

ITextControl::ITextControl(IEffectBase* pPlug, const IRECT* pR, const IText* pText, const char* str)
    : IControl(pPlug, pR), mStr(str) {
    if (pText) mText = *pText;
}

bool ITextControl::Draw(IGraphics* pGraphics) {
    if (mStr.IsEmpty()) return true;
    return pGraphics->DrawIText(&mText, mStr.Get(), &mRECT);
}

void ITextControl::SetTextFromPlug(const char* str) {
    SetTextIfChanged(&mStr, str);
}

// ---- ICaptionControl ----

ICaptionControl::ICaptionControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx, const IText* pText,
                                 bool showParamLabel)
    : ITextControl(pPlug, pR, pText, ""), mShowParamLabel(showParamLabel) {
    mParamIdx = paramIdx;
}

bool ICaptionControl::Draw(IGraphics* pGraphics) {
    if (const IParam* param = GetParam()) {
        char display[kMaxParamDisplayLen];
        param->GetDisplayForHost(display, true);
        mStr.Set(display);
        if (mShowParamLabel) {
            mStr.Append(" ");
            mStr.Append(param->GetLabelForHost());
        }
    }
    return ITextControl::Draw(pGraphics);
}

void ICaptionControl::OnMouseDown(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)pMod;
    PromptUserInput();
}

void ICaptionControl::OnMouseDblClick(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)pMod;
    PromptUserInput();
}

// ---- IURLControl ----

IURLControl::IURLControl(IEffectBase* pPlug, const IRECT* pR, const char* url, const char* backupURL,
                         const char* errMsgOnFailure)
    : IControl(pPlug, pR) {
    CopyURLField(mURL, url);
    CopyURLField(mBackupURL, backupURL);
    CopyURLField(mErrMsg, errMsgOnFailure);
}

bool IURLControl::Draw(IGraphics* pGraphics) {
    (void)pGraphics;
    return true;
}

void IURLControl::OnMouseDown(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)pMod;
    IGraphics* gui = GetGUI();
    if (!gui) return;
    bool opened = false;
    if (mURL[0]) opened = gui->OpenURL(mURL, mErrMsg, nullptr, nullptr);
    if (!opened && mBackupURL[0]) gui->OpenURL(mBackupURL, mErrMsg, nullptr, nullptr);
}

// ---- IFileSelectorControl ----

IFileSelectorControl::IFileSelectorControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx,
                                           const IBitmap* pBitmap, EFileAction action, const char* dir,
                                           const char* extensions)
    : IControl(pPlug, pR, paramIdx), mBitmap(pBitmap ? *pBitmap : IBitmap()), mDir(dir),
      mExtensions(extensions), mFileAction(action) {}

bool IFileSelectorControl::Draw(IGraphics* pGraphics) {
    if (mState == kFSSelecting) pGraphics->DrawBitmap(&mBitmap, &mRECT, 0, 0, nullptr);
    return true;
}

void IFileSelectorControl::OnMouseDown(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)pMod;
    IGraphics* gui = GetGUI();
    if (!gui) return;
    mState = kFSSelecting;
    SetDirty(false);
    gui->PromptForFile(&mFile, mFileAction, &mDir, mExtensions.Get());
    mValue += 1.0;
    if (mValue > 1.0) mValue = 0.0;
    mState = kFSDone;
    SetDirty(true);
}

bool IFileSelectorControl::IsDirty() {
    if (mDirty) return true;
    if (mState == kFSDone) {
        mState = kFSNone;
        return true;
    }
    return false;
}

void IFileSelectorControl::GetLastSelectedFileForPlug(Util_String* pStr) const {
    if (pStr) pStr->Set(mFile.Get());
}

void IFileSelectorControl::SetLastSelectedFileFromPlug(const char* file) {
    mFile.Set(file);
}

// ---- IBitmapTextControl ----

IBitmapTextControl::IBitmapTextControl(IEffectBase* pPlug, const IRECT* pR, const IBitmap* pFontBitmap,
                                       const char* str, const IText* pText, int charWidth, int charHeight,
                                       int charOffset, bool multiLine, bool vCenter)
    : IControl(pPlug, pR), mStr(str), mCharWidth(charWidth), mCharHeight(charHeight), mCharOffset(charOffset),
      mFontBitmap(pFontBitmap ? *pFontBitmap : IBitmap()), mMultiLine(multiLine), mVCentre(vCenter) {
    if (pText) mText = *pText;
}

bool IBitmapTextControl::Draw(IGraphics* pGraphics) {
    if (mStr.IsEmpty()) return true;
    DrawBitmapedText(pGraphics, &mFontBitmap, &mRECT, &mText, &mBlend, mStr.Get(), mVCentre, mMultiLine,
                     mCharWidth, mCharHeight, mCharOffset);
    return true;
}

void IBitmapTextControl::SetTextFromPlug(const char* str) {
    SetTextIfChanged(&mStr, str);
}
