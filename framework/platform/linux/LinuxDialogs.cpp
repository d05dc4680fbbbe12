#include "framework/platform/linux/LinuxDialogs.h"

#include <cstdio>
#include <cstring>

#include "framework/platform/linux/LinuxProcess.h"

namespace {

std::vector<std::string> SplitExtensions(const std::string& extensions) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= extensions.size()) {
        size_t end = extensions.find(' ', start);
        if (end == std::string::npos) end = extensions.size();
        if (end > start) out.push_back(extensions.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string Patterns(const std::vector<std::string>& exts) {
    std::string p;
    for (const std::string& e : exts) {
        if (!p.empty()) p += ' ';
        p += "*." + e;
    }
    return p;
}

std::string WindowArg(unsigned long window) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%lu", window);
    return buf;
}

} // namespace

DialogCommand FindDialogTool(const char* desktop) {
    DialogCommand cmd;
    const bool kde = desktop && std::strstr(desktop, "KDE");
    const char* order[2] = {kde ? "kdialog" : "zenity", kde ? "zenity" : "kdialog"};
    for (const char* name : order) {
        std::string path = LinuxFindExecutable(name);
        if (path.empty()) continue;
        cmd.mTool = std::strcmp(name, "zenity") == 0 ? EDialogTool::kZenity : EDialogTool::kKdialog;
        cmd.mPath = path;
        return cmd;
    }
    return cmd;
}

void MessageBoxCommand(DialogCommand* pCmd, const char* text, const char* caption, int type,
                       unsigned long parentWindow) {
    const std::string t = text ? text : "", c = caption ? caption : "";
    std::vector<std::string>& a = pCmd->mArgs;
    a.clear();
    if (pCmd->mTool == EDialogTool::kZenity) {
        a = {"zenity", "--modal", "--no-markup", "--title=" + c, "--text=" + t};
        if (parentWindow) a.push_back("--attach=" + WindowArg(parentWindow));
        switch (type) {
        case kMB_OKCANCEL:
            a.insert(a.begin() + 1, {"--question", "--ok-label=OK", "--cancel-label=Cancel"});
            break;
        case kMB_YESNO:
            a.insert(a.begin() + 1, {"--question", "--ok-label=Yes", "--cancel-label=No"});
            break;
        case kMB_YESNOCANCEL:
            // "No" is the extra button (printed on exit 1), so closing the box reads as Cancel.
            a.insert(a.begin() + 1,
                     {"--question", "--ok-label=Yes", "--cancel-label=Cancel", "--extra-button=No"});
            break;
        default:
            a.insert(a.begin() + 1, "--info");
            break;
        }
    } else if (pCmd->mTool == EDialogTool::kKdialog) {
        a = {"kdialog", "--title", c};
        if (parentWindow) a.insert(a.end(), {"--attach", WindowArg(parentWindow)});
        switch (type) {
        case kMB_OKCANCEL:
            a.insert(a.end(), {"--yes-label", "OK", "--no-label", "Cancel", "--yesno", t});
            break;
        case kMB_YESNO:
            a.insert(a.end(), {"--yesno", t});
            break;
        case kMB_YESNOCANCEL:
            a.insert(a.end(), {"--yesnocancel", t});
            break;
        default:
            a.insert(a.end(), {"--msgbox", t});
            break;
        }
    }
}

int MessageBoxAnswer(EDialogTool tool, int type, int exitCode, const std::string& output) {
    // Exit codes beyond the buttons (a tool that failed, was killed or could not show itself).
    const int lastButton = tool == EDialogTool::kKdialog && type == kMB_YESNOCANCEL ? 2 : 1;
    if (tool == EDialogTool::kNone || exitCode < 0 || exitCode > lastButton) return kMB_None;
    switch (type) {
    case kMB_OKCANCEL:
    case kMB_YESNO:
        return exitCode == 0 ? kMB_First : kMB_Second;
    case kMB_YESNOCANCEL:
        if (exitCode == 0) return kMB_First;
        if (tool == EDialogTool::kKdialog) return exitCode == 1 ? kMB_Second : kMB_Third;
        return output.compare(0, 2, "No") == 0 ? kMB_Second : kMB_Third;
    default:
        return kMB_First;
    }
}

void FilePromptCommand(DialogCommand* pCmd, EFileAction action, const std::string& startDir,
                       const std::string& suggestedName, const std::string& extensions,
                       unsigned long parentWindow) {
    const std::vector<std::string> exts = SplitExtensions(extensions);
    const std::string start = startDir + "/" + suggestedName;
    std::vector<std::string>& a = pCmd->mArgs;
    if (pCmd->mTool == EDialogTool::kZenity) {
        a = {"zenity", "--file-selection", "--modal", "--filename=" + start};
        if (action == kFileSave) a.insert(a.end(), {"--save", "--confirm-overwrite"});
        if (!exts.empty()) a.push_back("--file-filter=" + Patterns(exts));
        if (parentWindow) a.push_back("--attach=" + WindowArg(parentWindow));
    } else if (pCmd->mTool == EDialogTool::kKdialog) {
        a = {"kdialog"};
        if (parentWindow) a.insert(a.end(), {"--attach", WindowArg(parentWindow)});
        a.push_back(action == kFileSave ? "--getsavefilename" : "--getopenfilename");
        a.push_back(start);
        if (!exts.empty()) a.push_back(Patterns(exts));
    } else {
        a.clear();
    }
}

bool FilePromptAnswer(int exitCode, const std::string& output, std::string* pPath) {
    if (exitCode != 0) return false;
    std::string path = output;
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    // One absolute path on one line; several lines or a relative name are not an answer we trust.
    if (path.empty() || path[0] != '/' || path.find('\n') != std::string::npos) return false;
    *pPath = path;
    return true;
}
