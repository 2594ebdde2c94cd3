#include <cstdlib>

#include "mdl/mdl_reader.h"
#include "plugin/plugin.h"
#include "plugin/texts.h"
#include "records/host_records.h"

HWND hostWindow = nullptr;
std::unique_ptr<RecordList> vertexList;
std::unique_ptr<RecordList> faceList;
std::unique_ptr<RecordList> faceMapList;
std::unique_ptr<RecordList> textureList;
std::unique_ptr<RecordList> animationList;

namespace {

struct Delivery {
    UINT message;
    std::unique_ptr<RecordList>* list;
};

// The order in which the host receives the lists.
const Delivery DELIVERIES[] = {
    {PM_FACES, &faceList},
    {PM_VERTICES, &vertexList},
    {PM_ANIMATIONS, &animationList},
    {PM_TEXTURES, &textureList},
    {PM_FACEMAPS, &faceMapList},
};

void CreateLists() {
    vertexList = std::make_unique<RecordList>(KIND_VERTEX);
    faceList = std::make_unique<RecordList>(KIND_FACE);
    faceMapList = std::make_unique<RecordList>(KIND_FACEMAP);
    textureList = std::make_unique<RecordList>(KIND_TEXTURE);
    animationList = std::make_unique<RecordList>(KIND_ANIMATION);
}

void ReleaseLists() noexcept {
    textureList.reset();
    faceMapList.reset();
    vertexList.reset();
    faceList.reset();
    animationList.reset();
}

// Animation data passes to the host with its records. Data the host was never
// offered would be reachable by nobody, so it goes back to the heap here.
void ReleaseUnofferedAnimationData() noexcept {
    if (!animationList) return;
    const auto* animations = static_cast<const _ANIMATION*>(animationList->GetStorage());
    for (int32_t i = 0; i < animationList->GetCount(); ++i) std::free(animations[i].data);
}

bool runInProgress = false;

}  // namespace

int RunImport(const char* path) noexcept {
    // A host that starts a run from inside a delivery would pull the lists
    // away from the run under way.
    if (runInProgress) return 0;
    runInProgress = true;

    int result = 1;
    bool animationsOffered = false;
    try {
        CreateLists();
        if (!LoadMdl(path)) {
            MessageBoxA(hostWindow, TEXT_LOAD_FAILED, CAPTION_RUN, MB_OK | MB_ICONERROR);
        } else {
            for (const Delivery& delivery : DELIVERIES) {
                const RecordList& list = **delivery.list;
                animationsOffered |= delivery.message == PM_ANIMATIONS;
                if (SendMessageA(hostWindow, delivery.message, reinterpret_cast<WPARAM>(list.GetStorage()),
                                 static_cast<LPARAM>(list.GetCount())) == 0) {
                    MessageBoxA(nullptr, TEXT_DELIVERY_FAILED, nullptr, MB_OK);
                    result = 0;
                    break;
                }
            }
        }
    } catch (...) {
        // Out of memory while creating the lists: the user sees the run's load
        // failure, as for a file that could not be read.
        MessageBoxA(hostWindow, TEXT_LOAD_FAILED, CAPTION_RUN, MB_OK | MB_ICONERROR);
        result = 1;
    }
    if (!animationsOffered) ReleaseUnofferedAnimationData();
    ReleaseLists();
    runInProgress = false;
    return result;
}
