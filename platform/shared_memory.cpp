#include "platform/shared_memory.h"

#include <unistd.h>

#include <stdexcept>
#include <system_error>

namespace {

const std::string CREATE_FAILED = "Could not create shared memory: ";
const std::string VIEW_FAILED = "Could not create view of shared memory: ";

void WriteAll(int fd, const void* bytes, uint64_t size) {
    const auto* p = static_cast<const char*>(bytes);
    uint64_t done = 0;
    while (done < size) {
        const auto r = Vok::Posix::Call(::pwrite, fd, p + done, static_cast<size_t>(size - done), static_cast<off_t>(done));
        if (!r) Vok::Posix::ThrowError(r.error, "pwrite");
        if (r.value == 0) Vok::Posix::ThrowError(EIO, "pwrite");
        done += static_cast<uint64_t>(r.value);
    }
}

// The message with the system's own text of what refused it (": Too many open files"), and its errno
// for a caller that acts on the cause.
[[noreturn]] void ThrowFailure(const std::string& message, const std::string& name, const std::exception& e) {
    if (const auto* system = dynamic_cast<const std::system_error*>(&e))
        throw std::system_error(system->code(), message + name);
    throw std::runtime_error(message + name);
}

}  // namespace

SharedMemorySegment::SharedMemorySegment(const std::string& name, DWORD sizeLow, DWORD sizeHigh,
                                         const void* initialBytes)
    : SharedMemorySegment(name, sizeLow, sizeHigh, initialBytes, sSegmentHooks{}) {}

SharedMemorySegment::SharedMemorySegment(const std::string& name, DWORD sizeLow, DWORD sizeHigh,
                                         const void* initialBytes, sSegmentHooks hooks)
    : m_onLast(std::move(hooks.onLast)) {
    const uint64_t size = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
    if (size == 0) return;
    const auto fill = [&](int fd, const Vok::Ipc::CIpcFolder& folder) {
        if (hooks.onCreate) hooks.onCreate(folder);
        if (initialBytes != nullptr) WriteAll(fd, initialBytes, size);
    };
    try {
        m_mapping = Vok::Ipc::CNamedFile::Open(Vok::Ipc::KIND_SEGMENT, name, size, fill);
    } catch (const std::exception& e) {
        ThrowFailure(CREATE_FAILED, name, e);
    }
    MapView(name);
}

SharedMemorySegment::~SharedMemorySegment() {
    // The last holder's clean-up may read the view, so it is unmapped only after the file is let go.
    if (m_onLast) {
        const void* view = m_view.Get();
        m_mapping.Close([&](const Vok::Ipc::CIpcFolder& folder) { m_onLast(folder, view); });
    } else {
        m_mapping.Close();
    }
    m_view.Reset();
}

std::unique_ptr<SharedMemorySegment> SharedMemorySegment::CreateGeneration(const std::string& name, uint64_t size) {
    std::unique_ptr<SharedMemorySegment> segment(new SharedMemorySegment());
    if (size == 0) return segment;
    try {
        segment->m_mapping = Vok::Ipc::CNamedFile::CreateExclusive(Vok::Ipc::KIND_SEGMENT, name, size);
    } catch (const std::exception& e) {
        ThrowFailure(CREATE_FAILED, name, e);
    }
    segment->MapView(name);
    return segment;
}

std::unique_ptr<SharedMemorySegment> SharedMemorySegment::OpenGeneration(const std::string& name) {
    std::unique_ptr<SharedMemorySegment> segment(new SharedMemorySegment());
    try {
        segment->m_mapping = Vok::Ipc::CNamedFile::OpenExisting(Vok::Ipc::KIND_SEGMENT, name);
    } catch (const std::exception& e) {
        ThrowFailure(CREATE_FAILED, name, e);
    }
    segment->MapView(name);
    return segment;
}

void SharedMemorySegment::MapView(const std::string& name) {
    try {
        // An existing segment is mapped at its own size, whatever size this opener asked for.
        m_view = Vok::Ipc::CMappedView::Map(m_mapping.GetFd(), m_mapping.GetFileSize());
    } catch (const std::exception& e) {
        m_mapping.Close();
        ThrowFailure(VIEW_FAILED, name, e);
    }
}

uint64_t SharedMemorySegment::GetFileSize() const {
    if (!m_mapping.IsOpen()) return 0;
    try {
        return m_mapping.GetFileSize();
    } catch (const std::exception&) {
        return 0;
    }
}
