#pragma once
// The framework's text, caption, link, file-selector and bitmap-font text controls. Each is an IControl
// (see its header for threads and ownership).
#include "framework/editor/IControl.h"
#include "framework/editor/IEditorEnums.h"

// A string drawn in its rectangle with its text style.
class ITextControl : public IControl {
public:
    ITextControl(IEffectBase* pPlug, const IRECT* pR, const IText* pText, const char* str = "");
    bool Draw(IGraphics* pGraphics) override;
    // A different text (byte comparison) marks the control dirty and is stored; an equal one changes
    // nothing.
    void SetTextFromPlug(const char* str);
    void ClearTextFromPlug() { SetTextFromPlug(""); }
    const char* GetTextString() const { return mStr.Get(); }

protected:
    Util_String mStr;
};

// The bound parameter's display text (and, with the label shown, one space and its label), rebuilt at
// every draw. Press and double click open the value prompt when prompts are enabled.
class ICaptionControl : public ITextControl {
public:
    ICaptionControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx, const IText* pText,
                    bool showParamLabel = true);
    bool Draw(IGraphics* pGraphics) override;
    void OnMouseDown(int x, int y, IMouseMod* pMod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* pMod) override;

protected:
    bool mShowParamLabel;
};

inline constexpr int kMaxURLLen = 512;

// An invisible link: a press opens the address, or the backup address when that fails.
class IURLControl : public IControl {
public:
    IURLControl(IEffectBase* pPlug, const IRECT* pR, const char* url, const char* backupURL = nullptr,
                const char* errMsgOnFailure = nullptr);
    bool Draw(IGraphics* pGraphics) override;
    void OnMouseDown(int x, int y, IMouseMod* pMod) override;

protected:
    char mURL[kMaxURLLen];
    char mBackupURL[kMaxURLLen];
    char mErrMsg[kMaxURLLen];
};

// A press asks for a file (modal); afterwards the value toggles and the control reports itself dirty once
// more, so the plug-in can pick up the file with GetLastSelectedFileForPlug.
class IFileSelectorControl : public IControl {
public:
    enum EFileSelectorState : int { kFSNone = 0, kFSSelecting = 1, kFSDone = 2 };

    IFileSelectorControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx, const IBitmap* pBitmap,
                         EFileAction action, const char* dir = "", const char* extensions = "");
    bool Draw(IGraphics* pGraphics) override;
    void OnMouseDown(int x, int y, IMouseMod* pMod) override;
    bool IsDirty() override;

    void GetLastSelectedFileForPlug(Util_String* pStr) const;
    void SetLastSelectedFileFromPlug(const char* file);
    EFileSelectorState GetState() const { return mState; }

protected:
    IBitmap mBitmap;
    Util_String mDir, mFile, mExtensions;
    EFileAction mFileAction;
    EFileSelectorState mState = kFSNone;
};

// Text drawn from a bitmap font: frame k of the font strip holds the character with code k + 31.
class IBitmapTextControl : public IControl {
public:
    IBitmapTextControl(IEffectBase* pPlug, const IRECT* pR, const IBitmap* pFontBitmap, const char* str = "",
                       const IText* pText = nullptr, int charWidth = 6, int charHeight = 12,
                       int charOffset = 0, bool multiLine = false, bool vCenter = true);
    bool Draw(IGraphics* pGraphics) override;
    // As ITextControl::SetTextFromPlug.
    void SetTextFromPlug(const char* str);
    void ClearTextFromPlug() { SetTextFromPlug(""); }
    const char* GetTextString() const { return mStr.Get(); }

protected:
    Util_String mStr;
    int mCharWidth, mCharHeight, mCharOffset;
    IBitmap mFontBitmap;
    bool mMultiLine;
    bool mVCentre;
};
