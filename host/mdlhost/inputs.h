// The converter's inputs: what each argument names (a model, a folder of
// them, an archive, or nothing), every model found there, and the folder of
// its own that each model's export goes to.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pak_reader.h"

// One model to convert: a file on disk, or an entry of an archive.
struct ModelSource {
    std::string shown;  // as reports name it: the path given, or ARCHIVE/ENTRY
    std::filesystem::path file;  // on disk; empty for an archive entry
    const PakArchive* archive = nullptr;
    size_t entry = 0;  // of the archive's
    std::filesystem::path relative;  // its path inside the folder or archive named, or a loose file's own name
};

enum class Outcome { Converted, Refused, Failed };

struct Result {
    std::string shown;
    Outcome outcome;
    std::string reason;
};

// What an argument names, decided once.
enum class InputKind { Model, Folder, Archive, Missing };
InputKind Classify(const std::string& argument);

// Every model that the arguments name, and what could not be read.
struct Inputs {
    std::vector<ModelSource> models;
    std::vector<std::unique_ptr<PakArchive>> archives;
    std::vector<Result> unreadable;
};
Inputs Collect(const std::vector<std::string>& arguments, const std::vector<InputKind>& kinds);

// Each model's own folder under the export's, in the models' order: its
// path without the extension, with a suffix where another model has it
// already. Compared without case, as Windows' file systems compare names.
std::vector<std::filesystem::path> ChooseOutputFolders(const std::vector<ModelSource>& models);
