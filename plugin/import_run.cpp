#include <cstdlib>
#include <new>

#include "mdl/mdl_reader.h"
#include "plugin/host_calls.h"
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

// The module-wide list that a delivery carries, by the kind of its records.
const RecordList& ListOfKind(int32_t kind) {
    switch (kind) {
    case KIND_FACE: return *faceList;
    case KIND_VERTEX: return *vertexList;
    case KIND_ANIMATION: return *animationList;
    case KIND_TEXTURE: return *textureList;
    case KIND_FACEMAP:
    default: return *faceMapList;
    }
}

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

// Out of memory while the lists are created is, to the user, a file that
// could not be loaded; the reader itself turns its own failures into 0.
bool Load(const char* path) {
    try {
        CreateLists();
    } catch (const std::bad_alloc&) {
        return false;
    }
    return LoadMdl(path) != 0;
}

// Sends the lists in their order until the host refuses one; 1 when all
// were accepted.
int Deliver(bool& animationsOffered) {
    for (const DeliveryMessage& delivery : DELIVERY_ORDER) {
        const RecordList& list = ListOfKind(delivery.kind);
        animationsOffered |= delivery.message == PM_ANIMATIONS;
        if (HostSendMessage(hostWindow, delivery.message, reinterpret_cast<WPARAM>(list.GetStorage()),
                            static_cast<LPARAM>(list.GetCount())) == 0) {
            HostMessageBox(nullptr, TEXT_DELIVERY_FAILED, nullptr, MB_OK);
            return 0;
        }
    }
    return 1;
}

bool runInProgress = false;

}  // namespace

int RunImport(const char* path) noexcept {
    // A host that starts a run from inside a delivery would pull the lists
    // away from the run under way.
    if (runInProgress) return 0;
    runInProgress = true;
    const FloatingPointGuard floatingPoint;

    int result = 1;
    bool animationsOffered = false;
    try {
        if (Load(path)) {
            result = Deliver(animationsOffered);
        } else {
            HostMessageBox(hostWindow, TEXT_LOAD_FAILED, CAPTION_RUN, MB_OK | MB_ICONERROR);
        }
    } catch (...) {
        // Nothing of ours throws past Load; a host's window procedure or
        // message box might, and must not take the run's clean-up with it.
    }
    if (!animationsOffered) ReleaseUnofferedAnimationData();
    ReleaseLists();
    runInProgress = false;
    return result;
}
