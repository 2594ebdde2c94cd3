#include "export_skins.h"

#include "export_animations.h"
#include "fullbright.h"
#include "png.h"

ExportSkins::ExportSkins(const ReceivedModel& model, const MdlGroups& groups, bool withFiles)
    : names(SkinNames(model.skins.size(), groups)) {
    for (const Skin& skin : model.skins) {
        pngs.push_back(withFiles ? EncodePng(skin.width, skin.height, skin.pixels) : std::string());
        fullbrights.push_back(withFiles ? EncodeFullbrightPng(skin) : std::string());
    }
}
