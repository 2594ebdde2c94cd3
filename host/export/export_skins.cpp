#include "export_skins.h"

#include "export_animations.h"
#include "fullbright.h"
#include "png.h"

ExportSkins::ExportSkins(const ReceivedModel& model, const MdlGroups& groups)
    : names(SkinNames(model.skins.size(), groups)) {
    for (const Skin& skin : model.skins) {
        pngs.push_back(EncodePng(skin.width, skin.height, skin.pixels));
        fullbrights.push_back(EncodeFullbrightPng(skin));
    }
}
