#pragma once
// LinuxDialogs: the command lines of the desktop's dialog tools and the meaning of their answers, for the
// editor's message box and file prompt. zenity is preferred, kdialog taken when zenity is missing (or
// first on a KDE desktop). Plain functions: the window host runs the command (LinuxProcess) and waits
// for it as a modal dialog.
//
// Message box answers (EMessageBoxResult) by button set: OK → 1 (also when closed); OK/Cancel → OK 1,
// Cancel or closed 7; Yes/No → Yes 1, No or closed 7; Yes/No/Cancel → Yes 1, No 7, Cancel or closed 2.
// A tool that failed (no answer it could give) answers 0.
//
// File prompt: the tool starts in the start folder with the suggested name, offers the extensions as a
// filter ("*.fxp *.fxb"), asks before overwriting when saving, and prints the chosen path; anything but
// a clean exit with one absolute path is a cancel.
#include <string>
#include <vector>

#include "framework/editor/IEditorEnums.h"

enum class EDialogTool { kNone, kZenity, kKdialog };

struct DialogCommand {
    EDialogTool mTool = EDialogTool::kNone;
    std::string mPath;              // the executable
    std::vector<std::string> mArgs; // mArgs[0] is the program's name
};

// The tool to use: zenity or kdialog found on $PATH (kdialog first when desktop names KDE), or none.
DialogCommand FindDialogTool(const char* desktop);
// Message box (EMessageBoxType) with the text and caption; parentWindow: the X window the dialog
// belongs to (0: none).
void MessageBoxCommand(DialogCommand* pCmd, const char* text, const char* caption, int type,
                       unsigned long parentWindow);
int MessageBoxAnswer(EDialogTool tool, int type, int exitCode, const std::string& output);
// File prompt; extensions: space-separated ("fxp fxb"), startDir without trailing "/".
void FilePromptCommand(DialogCommand* pCmd, EFileAction action, const std::string& startDir,
                       const std::string& suggestedName, const std::string& extensions,
                       unsigned long parentWindow);
// The chosen path, or false for a cancel.
bool FilePromptAnswer(int exitCode, const std::string& output, std::string* pPath);
