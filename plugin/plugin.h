// Module-wide state shared by the exports, the import run and the reader.
// One copy per loaded module; the host calls in from one thread at a time.
#pragma once

#include <memory>

#include "plugin/platform.h"
#include "records/protocol.h"
#include "records/record_list.h"

// Target of every delivery message and owner of the message boxes; null
// until InitWindow.
extern HWND hostWindow;

// The lists of the import run under way. They exist only during a run and
// are null otherwise, so nothing can reach a list of an earlier run.
extern std::unique_ptr<RecordList> vertexList;
extern std::unique_ptr<RecordList> faceList;
extern std::unique_ptr<RecordList> faceMapList;
extern std::unique_ptr<RecordList> textureList;
extern std::unique_ptr<RecordList> animationList;

// One whole import of the model at path: 1 when the run reached its end (also
// when the file could not be read), 0 when the host refused a list. Never
// throws.
int RunImport(const char* path) noexcept;
