#include "platform/path_text.h"

#include <cstring>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

constexpr char kForbidden[] = {'\\', '?', '*', '/', '&', ':', '>', '<', '"', '|'};

// Position of the '.' that starts the extension, or -1: the last '.' behind the last backslash.
int ExtensionDot(const CString& path) {
    const int dot = path.ReverseFind('.');
    if (dot < 0) return -1;
    return dot > path.ReverseFind('\\') ? dot : -1;
}

CString WithDot(const CString& ext) {
    if (!ext.IsEmpty() && ext[0] == '.') return ext;
    return CString(".") + ext;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

CString CombinePath(const CString& a, const CString& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    const bool aEnds = IsSeparator(a[a.GetLength() - 1]);
    const bool bStarts = IsSeparator(b[0]);
    if (aEnds && bStarts) return a + b.Mid(1);
    if (!aEnds && !bStarts) return a + "\\" + b;
    return a + b;
}

void SplitPath(const CString& path, CString& drive, CString& folder, CString& name,
               CString& extension) {
    const std::string& s = path.Str();
    size_t pos = 0;
    drive.Empty();
    if (s.size() >= 2 && s[1] == ':') {
        drive = CString(s.data(), 2);
        pos = 2;
    }
    size_t lastSep = std::string::npos;
    for (size_t i = pos; i < s.size(); ++i) {
        if (IsSeparator(s[i])) lastSep = i;
    }
    size_t fileStart = pos;
    folder.Empty();
    if (lastSep != std::string::npos) {
        folder = CString(s.data() + pos, static_cast<int>(lastSep + 1 - pos));
        fileStart = lastSep + 1;
    }
    const size_t dot = s.rfind('.');
    if (dot != std::string::npos && dot >= fileStart) {
        name = CString(s.data() + fileStart, static_cast<int>(dot - fileStart));
        extension = CString(s.data() + dot, static_cast<int>(s.size() - dot));
    } else {
        name = CString(s.data() + fileStart, static_cast<int>(s.size() - fileStart));
        extension.Empty();
    }
}

CString GetFileNameFromPath(const char* path, bool stripExtension) {
    if (path == nullptr) return {};
    const CString p(path);
    const int slash = p.ReverseFind('\\');
    if (slash < 0) return p;
    if (stripExtension) {
        const int dot = p.ReverseFind('.');
        if (dot > slash) return p.Mid(slash + 1, dot - slash - 1);
    }
    return p.Mid(slash + 1);
}

CString GetFolderFromPath(const char* path, bool withoutTrailingBackslash) {
    if (path == nullptr) return {};
    const CString p(path);
    const int slash = p.ReverseFind('\\');
    if (slash < 0) return {};
    return p.Left(withoutTrailingBackslash ? slash : slash + 1);
}

CString RemoveExtension(const char* path) {
    if (path == nullptr) return {};
    const CString p(path);
    const int dot = ExtensionDot(p);
    return dot < 0 ? p : p.Left(dot);
}

BOOL HasExtension(const char* path) {
    if (path == nullptr) return FALSE;
    return ExtensionDot(CString(path)) >= 0 ? TRUE : FALSE;
}

CString GetExtension(const char* path, bool withDot) {
    if (path == nullptr) return {};
    const CString p(path);
    const int dot = ExtensionDot(p);
    if (dot < 0) return {};
    return p.Mid(withDot ? dot : dot + 1);
}

void SetExtension(CString& path, const CString& extension, bool onlyIfNone) {
    const CString base = RemoveExtension(path);
    if (onlyIfNone && base != path) return;
    path = base;
    if (!extension.IsEmpty()) path += WithDot(extension);
}

CString SetExtension(const char* path, const CString& extension, bool onlyIfNone) {
    if (path == nullptr) return {};
    CString p(path);
    SetExtension(p, extension, onlyIfNone);
    return p;
}

void ReplaceExtensionInText(CString& text, const CString& from, const CString& to) {
    CString f = WithDot(from);
    CString t = WithDot(to);
    f.MakeLower();
    t.MakeLower();
    if (text.Replace(f, t) > 0) return;
    f.MakeUpper();
    t.MakeUpper();
    text.Replace(f, t);
}

CString ReplaceExtensionInText(const char* text, const CString& from, const CString& to) {
    if (text == nullptr) return {};
    CString t(text);
    ReplaceExtensionInText(t, from, to);
    return t;
}

CString GetFirstWord(const char* text) {
    if (text == nullptr) return {};
    const CString t(text);
    const int blank = t.Find(' ');
    return blank < 0 ? t : t.Left(blank);
}

CString CleanFileName(const CString& name, bool replace, char replacement) {
    CString out = name;
    for (char c : kForbidden) {
        if (replace) {
            out.Replace(c, replacement);
        } else {
            out.Remove(c);
        }
    }
    return out;
}

BOOL IsValidFileName(const char* name) {
    if (name == nullptr || *name == '\0') return FALSE;
    const CString n(name);
    return CleanFileName(n, false, '\0') == n ? TRUE : FALSE;
}

CString CleanPath(const CString& path, bool replace, char replacement) {
    // A leading drive ("D:") keeps its colon: without it the path would turn relative.
    const bool drive = path.GetLength() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':';
    CString head = drive ? path.Left(2) : CString();
    CString rest = drive ? path.Mid(2) : path;
    for (char c : {'?', '*', ':', '>', '<', '"', '|'}) {
        if (replace) {
            rest.Replace(c, replacement);
        } else {
            rest.Remove(c);
        }
    }
    return head + rest;
}

BOOL StartsWithoutDot(const char* name) {
    return (name != nullptr && name[0] != '\0' && name[0] != '.') ? TRUE : FALSE;
}

BOOL IsSameFileName(const CString& a, const CString& b) {
    return a.CompareNoCase(b) == 0 ? TRUE : FALSE;
}

CString AbbreviatePath(const char* path, int maxLength) {
    if (path == nullptr) return {};
    CString result(path);
    if (result.GetLength() <= maxLength) return result;
    const int head = result.Find('\\');
    if (head < 0) return result;
    int first = head;
    for (;;) {
        const int next = result.Find('\\', first + 1);
        if (next < 0) break;
        result = result.Left(head + 1) + "..." + result.Mid(next);
        first = head + 4;
        if (result.GetLength() <= maxLength) break;
    }
    return result;
}

CString AbbreviatePathToFit(const CString& path, const CWnd* window, int maxWidth) {
    CString drive, folder, name, extension;
    SplitPath(path, drive, folder, name, extension);
    if (folder.IsEmpty() || window == nullptr) return path;
    // The dropped folders are marked with the path's own separator, so a Linux path stays one.
    char separator = '\\';
    for (int i = 0; i < folder.GetLength(); ++i) {
        if (IsSeparator(folder[i])) {
            separator = folder[i];
            break;
        }
    }
    const CString mark = CString(separator) + "..." + separator;
    folder = folder.Mid(1);
    if (maxWidth == -1) {
        RECT client{};
        window->GetClientRect(&client);
        maxWidth = client.right - client.left - 4;
    }
    if (window->GetTextWidth(path) <= maxWidth || window->GetTextWidth(drive + name + extension) > maxWidth)
        return path;
    CString candidate = path;
    bool dropped = false;
    while (window->GetTextWidth(candidate) > maxWidth) {
        int cut = -1;
        for (int i = 0; i < folder.GetLength() && cut < 0; ++i)
            if (IsSeparator(folder[i])) cut = i;
        if (cut < 0) break;
        folder = folder.Mid(cut + 1);
        dropped = true;
        candidate = drive + mark + folder + name + extension;
    }
    // A short folder gives way to a longer mark: that is no abbreviation.
    return dropped && candidate.GetLength() <= path.GetLength() ? candidate : path;
}
