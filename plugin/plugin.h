// Module-wide state shared by the exports, the import run and the reader.
// One copy per loaded module; the host calls in from one thread at a time.
#pragma once

#include <memory>

#include "plugin/platform.h"
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

// Delivery messages: one per list, in the range of private window messages.
constexpr UINT PM_VERTICES = WM_USER + 202;    // 1226
constexpr UINT PM_FACES = WM_USER + 204;       // 1228
constexpr UINT PM_FACEMAPS = WM_USER + 216;    // 1240
constexpr UINT PM_TEXTURES = WM_USER + 220;    // 1244
constexpr UINT PM_ANIMATIONS = WM_USER + 224;  // 1248

// One whole import of the model at path: 1 when the run reached its end (also
// when the file could not be read), 0 when the host refused a list. Never
// throws.
int RunImport(const char* path) noexcept;
