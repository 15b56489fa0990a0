// The process's environment and identity, the system report, and the desktop services. Web
// addresses open through the desktop's opener (xdg-open); there is no screen, window, clipboard
// or message box here: those operations return their failure values and do nothing else. Texts
// are CString in the ANSI code page; paths and environment values are converted from the file
// system's encoding (UTF-8).
#pragma once

#include "compat/collections.h"
#include "compat/cstring.h"
#include "compat/desktop_types.h"
#include "compat/windows_types.h"

// Environment and process identity.

// The variable's value in full; empty when the name is empty or the variable is unset or empty.
CString GetEnvVariable(const CString& name);
// The running program's file name without its folder (after the last '/', or the last ':' when
// there is none), and without its extension (from the last dot) unless keepExtension.
CString GetModuleFileTitle(bool keepExtension);
// The running program's full file name; with folderOnly, its folder with the trailing '/'.
CString GetModulePath(bool folderOnly);
// The arguments part of the command line. The command line is the program's arguments joined by
// blanks, each written as SplitCommandLine reads it back and the program's own name always in
// double quotes. When it ends with a double quote and holds at least six, the result is the
// content of its second-last pair of quotes; otherwise the text after the program's name,
// left-trimmed.
CString GetCommandLineArguments();
// Appends every argument, the program's own name first, with every double quote removed; true
// when at least one was appended.
bool GetCommandLineArgs(CStringArray& arguments);
// The fixed regional profile's language (0x0409).
WORD GetUILanguage();
// The current folder, with a trailing '/' when asked.
CString GetCurrentDir(bool trailingSeparator);
// 0 when folder is null or cannot be made current.
BOOL SetCurrentDir(const char* folder);

// Shell.

// The maker's public home page and its online support service desk.
constexpr const char* MAKER_HOME_PAGE = "https://www.vok-survey.example/";
constexpr const char* MAKER_SUPPORT_DESK = "https://support.vok-survey.example/servicedesk/";
// Results of the two: above 32 when the address was opened, the shell's error for "no
// application is associated" when the desktop's opener (xdg-open) is missing or failed.
constexpr INT_PTR SE_OPENED = 33;
constexpr INT_PTR SE_ERR_NOASSOC = 31;
// Open the address with the desktop's web browser (see OpenWithShell).
INT_PTR OpenMakerHomePage();
INT_PTR OpenSupportDesk();
// Writes "SystemReport.txt" in folder: the graphics part and the system-information part that
// Vok::SystemReport gathers (a part with no source at all replaced by its "NOT FOUND" line), then
// opens the folder with the desktop's opener. 1 when the report was written, else 0 (and nothing
// is opened).
int CreateSystemReport(const CString& folder);

// Screen, windows, clipboard and message boxes: failure values.

// rect emptied, 0.
int GetDesktopRect(RECT* rect);
// false: there is no monitor.
bool IsPointOnMonitor(POINT point);
// Without a screen there is nothing to fit onto: the rectangle stays as it is.
void FitRectOntoScreen(RECT* rect);
void FitRectOntoScreenCopy(RECT* rect);
// Nothing is copied; text stays unchanged.
void CopyTextToClipboard(CString& text);
void PasteTextFromClipboard(CString& text);
// 0: no box can be shown.
int ShowMessageOnce(const CString& text, UINT type);
int ShowMessageOnce(UINT resourceId, UINT type);
// 0: there is no window to find.
int ActivateWindowByClass(const char* windowClass, bool activate);
