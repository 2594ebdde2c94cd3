// The export's files, each written whole or not at all: under a partial name
// beside its final one, renamed only once every write, the flush and the
// close have succeeded. A failure names the file and the system's reason.
//
// Paths stay std::filesystem::path from the caller to the open call, so that
// no name passes through a code page on the way.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

// What an export has to say besides its files: notes (a model without a
// mesh) apart from its failure, the first thing that went wrong with the
// file and the system's reason. Neither names the program: the program adds
// its name where it prints them.
struct ExportMessages {
    std::vector<std::string> notes;
    std::string failure;  // empty while everything held

    void Note(std::string text) { notes.push_back(std::move(text)); }
    // Keeps the first: what fails after it follows from it.
    void Fail(std::string text) {
        if (failure.empty()) failure = std::move(text);
    }
    bool Failed() const { return !failure.empty(); }
    // The notes, then the failure, a line each.
    std::string Lines() const;
};

// Where the files go: a folder on disk, or nowhere (every write succeeds and
// nothing is created), so that the whole export can run without a disk.
class OutputFolder {
public:
    OutputFolder(std::filesystem::path root_, ExportMessages& messages_)
        : root(std::move(root_)), messages(messages_) {}
    static OutputFolder Nowhere(ExportMessages& messages) { return OutputFolder({}, messages); }

    bool Discards() const { return root.empty(); }
    const std::filesystem::path& Root() const { return root; }
    ExportMessages& Messages() const { return messages; }

    // Creates the folder, or relative folder under it, with its parents.
    bool Create(const std::filesystem::path& relative = {}) const;
    // A file whose bytes are all at hand, written whole (see OutputFile).
    bool WriteFile(const std::filesystem::path& relative, std::string_view bytes) const;

private:
    std::filesystem::path root;
    ExportMessages& messages;
};

// A path as a message shows it.
std::string Shown(const std::filesystem::path& path);

// Where a file is written before it gets its name: beside it, named for this
// process, so that two runs into one folder never share one.
std::filesystem::path PartialName(const std::filesystem::path& path);

// One file of the export. Binary: the same bytes on every platform. Text
// goes through Text(), formatted as any std::ostream formats it.
class OutputFile final : private std::streambuf {
public:
    OutputFile(const OutputFolder& folder, const std::filesystem::path& relative);
    ~OutputFile() override;  // removes the partial file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(const void* bytes, size_t size) { xsputn(static_cast<const char*>(bytes), std::streamsize(size)); }
    std::ostream& Text() { return text; }
    // False once anything failed; the failure has been reported.
    bool Good() const { return !failed; }

    // Flushes, closes and renames the file to its name. False, reported,
    // when any step failed before or now.
    bool Commit();

private:
    struct Closer {
        void operator()(std::FILE* open) const { std::fclose(open); }
    };

    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* bytes, std::streamsize size) override;
    int sync() override { return Drain() ? 0 : -1; }

    bool Drain();
    bool Put(const char* bytes, size_t size);
    bool Fail(const std::string& reason);

    ExportMessages& messages;
    std::filesystem::path path;     // empty when the folder discards
    std::filesystem::path partial;
    std::unique_ptr<std::FILE, Closer> file;
    std::unique_ptr<char[]> buffer;
    std::ostream text{this};
    bool failed = false;
    bool committed = false;
};
