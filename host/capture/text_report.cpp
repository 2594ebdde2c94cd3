// The readable report a host prints: what the plug-in says it is, every
// message box, one line per list, and the result.
#include <sstream>

#include "reports.h"

namespace {

const char* IconName(uint32_t type) {
    switch (type & 0xF0) {
    case 0x10: return "error icon";
    case 0x40: return "information icon";
    case 0x00: return "no icon";
    default: return "other icon";
    }
}

}  // namespace

std::string TextReport(const ReceivedModel& model, const std::string& description) {
    std::ostringstream out;
    out << "Plug-in:\n";
    std::istringstream lines(description);
    for (std::string line; std::getline(lines, line);) out << "  " << line << "\n";
    out << "File: " << model.file << "\n";
    for (const MessageBoxSeen& box : model.messageBoxes) {
        out << "Message box [" << (box.caption ? *box.caption : std::string("(default caption)")) << "] "
            << box.text << "  (owner: " << OwnerName(box.owner) << ", " << IconName(box.type) << ")\n";
    }
    for (const ReceivedDelivery& list : model.deliveries) {
        out << (list.kind ? list.kind->name : "unknown message") << " (" << list.message << "): " << list.count
            << (list.count == 1 ? " record, " : " records, ") << (list.accepted ? "accepted" : "refused") << "\n";
        if (list.message == PM_ANIMATIONS) {
            for (const ReceivedAnimation& animation : model.animations)
                out << "  animation '" << BytesAsText(animation.name) << "': " << animation.record.frameCount
                    << (animation.record.frameCount == 1 ? " frame\n" : " frames\n");
        }
    }
    out << "Result: " << model.result << "\n";
    return out.str();
}
