// The skins as the export writes them: each encoded once as PNG, its glowing
// texels apart, and named.
#pragma once

#include <string>
#include <vector>

#include "mdl/mdl_groups.h"
#include "received_model.h"

struct ExportSkins {
    ExportSkins(const ReceivedModel& model, const MdlGroups& groups);

    size_t Count() const { return names.size(); }

    std::vector<std::string> pngs;         // empty without pixels
    std::vector<std::string> fullbrights;  // the glow; empty without any
    std::vector<std::string> names;
};
