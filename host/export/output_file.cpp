#include "output_file.h"

#include <cerrno>
#include <mutex>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr size_t BUFFER_SIZE = 1 << 16;

std::FILE* OpenForWriting(const fs::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");  // created writable, unlike _wopen without a mode
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

std::string SystemReason(int error) { return std::generic_category().message(error); }

}  // namespace

std::string Shown(const fs::path& path) { return path.u8string(); }

std::string ExportMessages::Lines() const {
    std::string lines;
    for (const std::string& note : notes) lines += note + "\n";
    if (Failed()) lines += failure + "\n";
    return lines;
}

fs::path PartialName(const fs::path& path) {
    fs::path partial = path;
    partial += "." + std::to_string(getpid()) + ".partial";
    return partial;
}

bool OutputFolder::Create(const fs::path& relative) const {
    if (Discards()) return true;
    const fs::path folder = relative.empty() ? root : root / relative;
    std::error_code error;
    // Exports run side by side may share a parent that is not there yet;
    // one at a time, none finds it made under it midway.
    static std::mutex creating;
    const std::lock_guard<std::mutex> lock(creating);
    fs::create_directories(folder, error);
    if (!error) return true;
    messages.Fail("cannot create " + Shown(folder) + ": " + error.message());
    return false;
}

OutputFile::OutputFile(const OutputFolder& folder, const fs::path& relative)
    : messages(folder.Messages()), buffer(new char[BUFFER_SIZE]) {
    setp(buffer.get(), buffer.get() + BUFFER_SIZE);
    if (folder.Discards()) return;
    path = folder.Root() / relative;
    partial = PartialName(path);
    errno = 0;
    file.reset(OpenForWriting(partial));
    if (!file) {
        Fail(SystemReason(errno));
        return;
    }
    // Our own buffer fronts it: each write goes to the system and fails there.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
}

OutputFile::~OutputFile() {
    if (committed || path.empty()) return;
    file.reset();
    std::error_code ignored;
    fs::remove(partial, ignored);
}

bool OutputFile::Fail(const std::string& reason) {
    if (!failed) messages.Fail("cannot write " + Shown(path) + ": " + reason);
    failed = true;
    return false;
}

bool OutputFile::Put(const char* bytes, size_t size) {
    if (failed) return false;
    if (path.empty() || size == 0) return true;
    errno = 0;
    if (std::fwrite(bytes, 1, size, file.get()) != size) return Fail(SystemReason(errno ? errno : EIO));
    return true;
}

bool OutputFile::Drain() {
    const size_t pending = size_t(pptr() - pbase());
    setp(buffer.get(), buffer.get() + BUFFER_SIZE);
    return Put(buffer.get(), pending);
}

OutputFile::int_type OutputFile::overflow(int_type c) {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize OutputFile::xsputn(const char* bytes, std::streamsize size) {
    if (size <= epptr() - pptr()) {
        std::memcpy(pptr(), bytes, size_t(size));
        pbump(int(size));
        return size;
    }
    // Larger than the room left: what is buffered goes first, then these
    // bytes straight through.
    if (!Drain() || !Put(bytes, size_t(size))) return 0;
    return size;
}

bool OutputFile::Commit() {
    if (!Drain()) return false;
    if (path.empty()) return true;
    errno = 0;
    if (std::fflush(file.get()) != 0) return Fail(SystemReason(errno));
    errno = 0;
    if (std::fclose(file.release()) != 0) return Fail(SystemReason(errno ? errno : EIO));
    std::error_code error;
    fs::rename(partial, path, error);
    std::error_code ignored;
    if (error && fs::is_regular_file(path, ignored)) {
        // Where renaming does not replace a file, the old one goes first.
        fs::remove(path, error);
        if (!error) fs::rename(partial, path, error);
    }
    if (error) return Fail(error.message());
    committed = true;
    return true;
}

bool OutputFolder::WriteFile(const fs::path& relative, std::string_view bytes) const {
    OutputFile file(*this, relative);
    file.Write(bytes.data(), bytes.size());
    return file.Commit();
}
