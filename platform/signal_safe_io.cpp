#include "platform/signal_safe_io.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace Vok::SignalSafe {

namespace {

int g_probePipe[2] = {-1, -1};

class CBoundedWriter {
public:
    CBoundedWriter(char* out, std::size_t size) : m_out(out), m_size(size) {
        if (m_size > 0) m_out[0] = '\0';
    }
    void Put(char c) {
        if (m_length + 1 < m_size) {
            m_out[m_length++] = c;
            m_out[m_length] = '\0';
        }
    }
    void Put(const char* text, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) Put(text[i]);
    }
    std::size_t Length() const { return m_length; }

private:
    char* m_out;
    std::size_t m_size;
    std::size_t m_length = 0;
};

void PutField(CBoundedWriter& w, const char* text, std::size_t n, int width, bool left, char pad) {
    const std::size_t fill = width > 0 && static_cast<std::size_t>(width) > n ? width - n : 0;
    if (!left && pad == '0' && n > 0 && text[0] == '-') {
        w.Put('-');
        ++text;
        --n;
    }
    if (!left)
        for (std::size_t i = 0; i < fill; ++i) w.Put(pad);
    w.Put(text, n);
    if (left)
        for (std::size_t i = 0; i < fill; ++i) w.Put(' ');
}

}  // namespace

std::size_t FormatV(char* out, std::size_t size, const char* format, va_list args) {
    CBoundedWriter w(out, size);
    for (const char* f = format; *f != '\0'; ++f) {
        if (*f != '%') {
            w.Put(*f);
            continue;
        }
        ++f;
        bool left = false;
        char pad = ' ';
        for (; *f == '-' || *f == '0'; ++f) {
            if (*f == '-') left = true;
            else pad = '0';
        }
        int width = 0;
        for (; *f >= '0' && *f <= '9'; ++f) width = width * 10 + (*f - '0');
        int longs = 0;
        for (; *f == 'l' || *f == 'z'; ++f) longs = *f == 'z' ? 2 : longs + 1;
        char digits[24];
        std::size_t n = 0;
        unsigned long long value = 0;
        bool negative = false;
        switch (*f) {
        case '\0': return w.Length();
        case '%': w.Put('%'); continue;
        case 'c': {
            const char c = static_cast<char>(va_arg(args, int));
            PutField(w, &c, 1, width, left, ' ');
            continue;
        }
        case 's': {
            const char* s = va_arg(args, const char*);
            if (s == nullptr) s = "(null)";
            PutField(w, s, std::strlen(s), width, left, ' ');
            continue;
        }
        case 'd':
        case 'i': {
            const long long v = longs == 0 ? va_arg(args, int)
                                : longs == 1 ? va_arg(args, long)
                                             : va_arg(args, long long);
            negative = v < 0;
            value = negative ? 0ULL - static_cast<unsigned long long>(v) : v;
            break;
        }
        case 'u':
        case 'x':
        case 'X':
            value = longs == 0 ? va_arg(args, unsigned int)
                    : longs == 1 ? va_arg(args, unsigned long)
                                 : va_arg(args, unsigned long long);
            break;
        case 'p': value = reinterpret_cast<uintptr_t>(va_arg(args, void*)); break;
        default: w.Put('%'); w.Put(*f); continue;
        }
        const unsigned base = (*f == 'x' || *f == 'X' || *f == 'p') ? 16 : 10;
        const char* symbols = *f == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
        char reversed[24];
        std::size_t r = 0;
        do {
            reversed[r++] = symbols[value % base];
            value /= base;
        } while (value != 0);
        if (negative) digits[n++] = '-';
        while (r > 0) digits[n++] = reversed[--r];
        PutField(w, digits, n, width, left, left ? ' ' : pad);
    }
    return w.Length();
}

std::size_t Format(char* out, std::size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::size_t n = FormatV(out, size, format, args);
    va_end(args);
    return n;
}

void CopyText(char* out, std::size_t size, const char* text) {
    Format(out, size, "%s", text);
}

void PrepareSafeRead() {
    if (g_probePipe[0] < 0 && ::pipe2(g_probePipe, O_CLOEXEC | O_NONBLOCK) != 0) g_probePipe[0] = g_probePipe[1] = -1;
}

bool SafeRead(uintptr_t address, void* out, std::size_t size) {
    iovec local{out, size};
    iovec remote{reinterpret_cast<void*>(address), size};
    const ssize_t n = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
    if (n >= 0 || (errno != EPERM && errno != ENOSYS)) return n == static_cast<ssize_t>(size);
    // Where that call is not allowed, the kernel copies through a pipe instead (EFAULT on an
    // unreadable byte).
    if (g_probePipe[0] < 0 || size > 4096) return false;
    const ssize_t written = ::write(g_probePipe[1], reinterpret_cast<const void*>(address), size);
    if (written <= 0) return false;
    const ssize_t got = ::read(g_probePipe[0], out, static_cast<std::size_t>(written));
    return written == static_cast<ssize_t>(size) && got == written;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void ReadSmallFile(const char* path, char* out, std::size_t size) {
    out[0] = '\0';
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    std::size_t used = 0;
    while (used + 1 < size) {
        const ssize_t n = ::read(fd, out + used, size - 1 - used);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        used += static_cast<std::size_t>(n);
    }
    out[used] = '\0';
    ::close(fd);
}

namespace {

uint64_t ParseHex(const char*& p) {
    uint64_t v = 0;
    for (;; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') v = v * 16 + (c - '0');
        else if (c >= 'a' && c <= 'f') v = v * 16 + (c - 'a' + 10);
        else return v;
    }
}

bool ParseMapping(char* line, sMapping& m) {
    const char* p = line;
    m.start = ParseHex(p);
    if (*p++ != '-') return false;
    m.end = ParseHex(p);
    if (*p++ != ' ') return false;
    for (int i = 0; i < 4; ++i) m.perms[i] = *p != '\0' ? *p++ : '-';
    m.perms[4] = '\0';
    if (*p++ != ' ') return false;
    m.offset = ParseHex(p);
    for (int fields = 0; fields < 2; ++fields) {  // device, inode
        while (*p == ' ') ++p;
        while (*p != ' ' && *p != '\0') ++p;
    }
    while (*p == ' ') ++p;
    m.path = p;
    return true;
}

}  // namespace

void ForEachMappingRaw(bool (*visit)(const sMapping&, void*), void* context) {
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    char chunk[4096];
    char line[PATH_MAX + 256];
    std::size_t used = 0;
    bool more = true;
    while (more) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n && more; ++i) {
            if (chunk[i] != '\n') {
                if (used + 1 < sizeof line) line[used++] = chunk[i];
                continue;
            }
            line[used] = '\0';
            used = 0;
            sMapping m{};
            if (ParseMapping(line, m)) more = visit(m, context);
        }
    }
    ::close(fd);
}

void FindMappedFile(uintptr_t address, char* out, std::size_t size) {
    CopyText(out, size, "");
    ForEachMapping([&](const sMapping& m) {
        if (address < m.start || address >= m.end) return true;
        if (m.path[0] == '/') CopyText(out, size, m.path);
        return false;
    });
}

}  // namespace Vok::SignalSafe
