#pragma once
// Small enumerations shared by the editor, its controls and the window hosts.

// The direction a knob or fader is dragged in.
enum EDirection : int { kVertical = 0, kHorizontal = 1 };

// What a file prompt asks for.
enum EFileAction : int { kFileOpen = 0, kFileSave = 1 };

// Message-box button sets (ShowMessageBox) and the answers.
enum EMessageBoxType : int { kMB_OK = 0, kMB_OKCANCEL = 1, kMB_YESNOCANCEL = 3, kMB_YESNO = 4 };
enum EMessageBoxResult : int { kMB_None = 0, kMB_First = 1, kMB_Third = 2, kMB_Second = 7 };
