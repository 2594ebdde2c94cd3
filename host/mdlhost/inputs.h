// The converter's inputs: what each argument names (a model, a folder of
// them, an archive, or nothing), every model found there, and the folder of
// its own that each model's export goes to.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model_name.h"
#include "pak_reader.h"

// One model to convert: a file on disk, or an entry of an archive.
struct ModelSource {
    ModelName name;
    std::filesystem::path file;  // on disk; empty for an archive entry
    const PakArchive* archive = nullptr;
    size_t entry = 0;                // of the archive's
    std::filesystem::path relative;  // name.inside as a path, which its output folder follows
};

enum class Outcome { Converted, Refused, Failed };

// What became of a model.
struct Result {
    ModelName name;
    Outcome outcome;
    std::string reason;
};

// An argument as a path without a trailing separator, so that its file
// name is the name of what it names ("games/id1/": id1).
std::filesystem::path ArgumentPath(const std::string& argument);

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
// already, or where its first part is a reserved name (the gallery's own
// files). Compared without case, as Windows' file systems compare names.
std::vector<std::filesystem::path> ChooseOutputFolders(const std::vector<ModelSource>& models,
                                                       const std::vector<std::string>& reserved = {});

// Files dropped on the program in a file manager, which starts it with a
// console of its own and nothing but paths: converted into a folder beside
// the first, named for it ("NAME converted"), with the gallery. Null for a
// run from a command line, or with any option.
std::optional<std::filesystem::path> DroppedFilesFolder(const std::vector<std::string>& files, InputKind first,
                                                        bool ownConsole);
